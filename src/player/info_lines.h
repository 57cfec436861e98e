// The lines `zirvak-cli info` prints about a file's sound, as each format's entry gives them:
// a label and its value ("sample rate" and "44100 Hz"), printed as "sample rate: 44100 Hz" with
// the values in one column.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zirvak {

struct InfoLine {
    std::string label;
    std::string value;
};

// m:ss.sss ("3:05.250").
std::string DurationText(double seconds);

// The lines of a stream decoded by a library: "format" (`format`), the rate, the channels the
// file holds, its average bit rate over `fileBytes` (left out when it has no length) and its
// duration, from its `frames` sample frames.
std::vector<InfoLine> DecodedStreamLines(std::string format, int32_t rate, int32_t channels,
                                         uint64_t frames, uint64_t fileBytes);

}  // namespace zirvak
