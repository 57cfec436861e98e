#include "info_lines.h"

#include <cstdio>
#include <utility>

namespace zirvak {

std::string DurationText(double seconds) {
    char text[32];
    const int minutes = int(seconds / 60);
    std::snprintf(text, sizeof text, "%d:%06.3f", minutes, seconds - 60.0 * minutes);
    return text;
}

std::vector<InfoLine> DecodedStreamLines(std::string format, int32_t rate, int32_t channels,
                                         uint64_t frames, uint64_t fileBytes) {
    std::vector<InfoLine> lines = {{"format", std::move(format)},
                                   {"sample rate", std::to_string(rate) + " Hz"},
                                   {"channels", std::to_string(channels)}};
    const double seconds = rate > 0 ? double(frames) / rate : 0.0;
    if (seconds > 0) {
        char text[48];
        std::snprintf(text, sizeof text, "%.0f kbit/s on average",
                      double(fileBytes) * 8 / seconds / 1000);
        lines.push_back({"bit rate", text});
    }
    lines.push_back({"duration", DurationText(seconds)});
    return lines;
}

}  // namespace zirvak
