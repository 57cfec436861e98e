// Why a file could not be played, and the one line that tells the user.
#pragma once

#include <string>

namespace zirvak {

enum class FileProblem {
    kNone,
    kMissing,      // no such file or folder
    kNotReadable,  // exists, but cannot be opened or read (permissions, I/O error)
    kNotRegular,   // a folder, FIFO, device or socket
    kNotPlayable,  // neither a WAV file we can play nor MPEG audio
    kNoAudio,      // a WAV or MPEG file without a single audio frame
    kChanged,      // the file changed on disk while it was being played
};

// One sentence naming `path` and the problem, with `detail` (the system's or the decoder's
// words) where it helps: "song.mp3: not a playable WAV or MPEG file (no frame sync)".
std::string DescribeFileProblem(const std::string& path, FileProblem problem,
                                const std::string& detail = {});

}  // namespace zirvak
