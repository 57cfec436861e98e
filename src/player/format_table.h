// The audio formats Zirvak plays, in one table. Each format's source file ends with its entry:
// how its files are recognised (by their bytes, never their name), how its source is made, the
// names, extensions and MIME types users and the desktop know it by, how its tags are laid out,
// and what `zirvak-cli info` says of a file of it. Everything that names formats (opening a
// file, folders, the Open dialog, the desktop's lists, the messages, the help) reads this table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "audio_source.h"
#include "byte_source.h"
#include "info_lines.h"
#include "input_file.h"

namespace zirvak {

// Where a format keeps its tags, as the tag reader looks for them.
enum class TagLayout {
    kNone,        // no tags are read
    kId3AndApe,   // MPEG audio: an ID3v2 tag before the frames, APE and ID3v1 tags after them
    kRiffInfo,    // WAV: the RIFF INFO list, and an ID3v2 tag in its own chunk
    kFlacBlocks,  // FLAC: the Vorbis comment and PICTURE blocks, an ID3v2 tag before them
    kOggVorbis,   // Ogg Vorbis: Vorbis comments, covers in METADATA_BLOCK_PICTURE
    kOggOpus,     // Ogg Opus: the same, and the R128 gains
    kApe,         // WavPack: an APEv2 tag at the end, an ID3v1 tag after it
    kMp4,         // MP4: the items of the movie's `ilst`, ReplayGain among the freeform ones
};

// What a source plays of its file. Only MPEG audio has a clip and gapless playback (the other
// formats play whole, and know their own length to the sample).
struct SourceOptions {
    uint32_t clipStartMs = 0;
    uint32_t clipEndMs = 0;
    bool gapless = false;
};

// A few words held in an entry itself, so that every entry is a constant, there before any
// code runs (more than eight do not compile).
class WordList {
public:
    constexpr WordList(std::initializer_list<std::string_view> words) {
        for (const std::string_view word : words) words_[count_++] = word;
    }
    constexpr const std::string_view* begin() const { return words_.data(); }
    constexpr const std::string_view* end() const { return words_.data() + count_; }
    constexpr size_t size() const { return count_; }

private:
    std::array<std::string_view, 8> words_{};
    size_t count_ = 0;
};

// A clip end no stream reaches: the whole stream plays.
inline constexpr uint32_t kWholeStreamMs = UINT32_MAX;

// One format. Each entry is defined `extern constinit const` at the end of its source file.
struct FileFormat {
    // As people read them ("FLAC"); none for a kind that is recognised only to be refused, which
    // is never offered to them.
    WordList names;
    // True when `source` holds this format. Null for the one entry a file no other recognises
    // is taken for.
    bool (*recognises)(ByteSource& source);
    // The source for `file`, which `recognises`; it reads nothing until its first Start.
    std::unique_ptr<AudioSource> (*makeSource)(InputFile& file, const SourceOptions& options);
    WordList extensions;  // lower case, without the dot
    WordList mimeTypes;
    TagLayout tags;
    // What `zirvak-cli info` prints of a file of `fileBytes` bytes once its source (one this
    // entry made) has started a run, before the tags. Null for a kind that never plays.
    std::vector<InfoLine> (*describe)(const AudioSource& source, uint64_t fileBytes);
};

// Every format, in the table's order: the order they are listed to people in and their content
// tests are tried in (the one without a test is taken last).
std::span<const FileFormat* const> AllFormats();

// The format of the file `source`: the first entry whose content test passes, or else the one
// without a test (MPEG audio, whose frames may start anywhere: whether a stream is there is
// for its source to find).
const FileFormat& FormatOf(ByteSource& source);

// Every format's extensions and MIME types, in the table's order.
std::vector<std::string_view> PlayableExtensions();
std::vector<std::string_view> PlayableMimeTypes();

// The formats' names in a list for people: "MP3, MP2, WAV or FLAC", with `lastJoin` ("or",
// "and") before the last.
std::string FormatNamesInWords(std::string_view lastJoin);

}  // namespace zirvak
