#include "messages.h"

#include "format_table.h"

namespace zirvak {

namespace {

constexpr Wording kWordings[] = {
    {Say::kNoSuchFile, "{file}: no such file"},
    {Say::kCannotRead, "{file} cannot be read ({why})"},
    {Say::kNotAFile, "{file} is {why}, not a file"},
    {Say::kEmptyFile, "{file} is empty"},
    {Say::kNotAudio, "{file} is not an audio file Zirvak can play"},
    {Say::kUnsupportedAudio, "{file} holds audio of a kind Zirvak cannot play ({why})"},
    {Say::kDamagedFile, "{file} is damaged and cannot be played ({why})"},
    {Say::kNoAudio, "{file} holds no audio"},
    {Say::kChangedWhilePlaying, "{file} changed while it was playing"},
    {Say::kNoPlayableFilesIn, "{file} holds no files Zirvak can play ({formats})"},
    {Say::kListedFileMissing, "{file}: no such file (listed in {why})"},
    {Say::kNetworkStream, "{file}: network streams are not supported (listed in {why})"},
    {Say::kMoreEntriesSkipped, "{file} more entries of the playlists were left out"},
    {Say::kManyCouldNotPlay, "{file} files could not be played; the first: {why}"},
    {Say::kNoMemoryFor, "not enough memory to play {file}"},
    {Say::kNoOutputFor, "{file} cannot play: no sound output could be opened"},
    {Say::kPlaysSilently, "{file} plays without sound ({why})"},
    {Say::kSoundStopped, "{file}: the sound stopped ({why}); trying again every second"},
    {Say::kSoundBack, "{file}: the sound is back"},
    {Say::kCannotWrite, "cannot write {file} ({why})"},
    {Say::kWouldOverwriteInput, "cannot write {file}: it is the input file"},
    {Say::kCannotWriteFolder, "cannot write {file}: it is a folder"},
    {Say::kOtherFormat,
     "{file} has another rate or channel count than the songs before it: left out"},
    {Say::kNoDisplay,
     "no display to show the window on ({why}); 'zirvak-cli play FILE...' plays in a terminal"},
    {Say::kNoSessionBus, "no session bus ({why}): media keys and desktop controls are off"},
    {Say::kNotOnSessionBus,
     "not on the session bus ({why}): media keys and desktop controls are off"},
};

void ReplaceAll(std::string& text, const std::string& what, const std::string& with) {
    for (size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

}  // namespace

std::span<const Wording> AllWordings() {
    return kWordings;
}

std::string Words(Say id, const std::string& file, const std::string& why) {
    std::string text = kWordings[size_t(id)].text;
    if (text.find("{formats}") != std::string::npos)
        ReplaceAll(text, "{formats}", FormatNamesInWords("or"));
    if (why.empty()) ReplaceAll(text, " ({why})", "");
    ReplaceAll(text, "{why}", why);
    ReplaceAll(text, "{file}", file);
    return text;
}

std::string DescribeFileProblem(const std::string& path, FileProblem problem,
                                const std::string& detail) {
    switch (problem) {
        case FileProblem::kNone:
            return path;
        case FileProblem::kMissing:
            return Words(Say::kNoSuchFile, path);
        case FileProblem::kNotReadable:
            return Words(Say::kCannotRead, path, detail);
        case FileProblem::kNotRegular:
            return Words(Say::kNotAFile, path, detail.empty() ? "something else" : detail);
        case FileProblem::kEmpty:
            return Words(Say::kEmptyFile, path);
        case FileProblem::kNotPlayable:
            return Words(Say::kNotAudio, path);
        case FileProblem::kUnsupported:
            return Words(Say::kUnsupportedAudio, path, detail);
        case FileProblem::kDamaged:
            return Words(Say::kDamagedFile, path, detail);
        case FileProblem::kNoAudio:
            return Words(Say::kNoAudio, path);
        case FileProblem::kChanged:
            return Words(Say::kChangedWhilePlaying, path);
    }
    return path;
}

std::string DescribeSkippedEntry(const SkippedEntry& skipped) {
    const Say id = skipped.reason == SkippedEntry::Reason::kNetworkStream ? Say::kNetworkStream
                                                                          : Say::kListedFileMissing;
    return Words(id, skipped.entry, skipped.playlist);
}

std::string DescribeOpenFailure(const PlayerEngine& engine, const std::string& path,
                                int32_t result) {
    switch (result) {
        case kOpenNoDevice:
            return Words(Say::kNoOutputFor, path);
        case kOpenNoBufferMemory:
            return Words(Say::kNoMemoryFor, path);
        default:
            return DescribeFileProblem(path, engine.failure(), engine.failureDetail());
    }
}

}  // namespace zirvak
