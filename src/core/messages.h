// Every sentence Zirvak says to the person using it, in one table: the window's messages, the
// terminal player's lines and the programs' notices. They are written for someone who knows
// nothing of audio formats. In a wording, {file} stands for a file's name and {why} for the
// system's or the sound output's own words; " ({why})" is left out when there are none.
// {formats} is the names of the formats Zirvak plays, from their table.
#pragma once

#include <span>
#include <string>

#include "file_problem.h"
#include "player_engine.h"
#include "playlist_files.h"

namespace zirvak {

enum class Say {
    // Why a file cannot be played.
    kNoSuchFile,
    kCannotRead,
    kNotAFile,
    kEmptyFile,
    kNotAudio,
    kUnsupportedAudio,
    kDamagedFile,
    kNoAudio,
    kChangedWhilePlaying,
    kNoPlayableFilesIn,
    kListedFileMissing,
    kNetworkStream,
    kMoreEntriesSkipped,
    kManyCouldNotPlay,
    kNoMemoryFor,
    kNoOutputFor,
    // The sound output.
    kPlaysSilently,
    kSoundStopped,
    kSoundBack,
    // Writing files.
    kCannotWrite,
    kWouldOverwriteInput,
    kCannotWriteFolder,
    kOtherFormat,
    // The window program.
    kNoDisplay,
    kNoSessionBus,
    kNotOnSessionBus,
};

struct Wording {
    Say id;
    const char* text;
};

// The whole table, in the order of Say.
std::span<const Wording> AllWordings();

// The sentence `id` says about `file`, with `why` where its wording has room for it; without a
// full stop (the window adds one, the terminal does not).
std::string Words(Say id, const std::string& file = {}, const std::string& why = {});

// Why `path` cannot be played, as Words says it.
std::string DescribeFileProblem(const std::string& path, FileProblem problem,
                                const std::string& detail = {});

// Why an entry of a playlist was left out of the queue.
std::string DescribeSkippedEntry(const SkippedEntry& skipped);

// Why the engine's Open, Restart or Seek of `path` gave `result`.
std::string DescribeOpenFailure(const PlayerEngine& engine, const std::string& path,
                                int32_t result);

}  // namespace zirvak
