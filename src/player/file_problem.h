// Why a file could not be played. The words that tell the user are the front ends' (their
// message table); a problem may carry a detail: the system's own words, or a fact about the
// file ("a folder", "6 channels").
#pragma once

namespace zirvak {

enum class FileProblem {
    kNone,
    kMissing,      // no such file or folder
    kNotReadable,  // exists, but cannot be opened or read (permissions, I/O error)
    kNotRegular,   // a folder, FIFO, device or socket
    kEmpty,        // a file of no bytes at all
    kNotPlayable,  // of no format the player knows (not even MPEG audio found within it)
    kUnsupported,  // audio, but of a kind the player cannot play (channels, rate, encoding)
    kDamaged,      // audio whose description of its samples is missing, cut off or spoiled
    kNoAudio,      // a file of a format the player knows without a single sample
    kChanged,      // the file changed on disk while it was being played
};

}  // namespace zirvak
