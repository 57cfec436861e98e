// zirvak-cli loudness: each file measured as EBU R 128 measures a programme (libebur128), on the
// samples playback plays, and the ReplayGain 2.0 gains that bring it, and the files together
// as an album, to -18 LUFS. Nothing is written to the files.
#include <ebur128.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "commands.h"
#include "input.h"
#include "pcm_walk.h"
#include "printable.h"

namespace zirvak::cli {

namespace {

// The loudness ReplayGain 2.0 brings every song to.
constexpr double kReferenceLufs = -18.0;

struct StateDeleter {
    void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};
using LoudnessState = std::unique_ptr<ebur128_state, StateDeleter>;

struct Measured {
    std::string name;
    LoudnessState state;
    double peak = 0;  // the largest sample, 1 at full scale
};

// Measures the file at `path`; false, with its message printed, when it cannot be read.
bool Measure(const std::string& path, Measured& m, bool progress, size_t index, size_t count) {
    Input in;
    std::string error;
    if (!OpenInput(path, in, error)) return Fail(error), false;
    const PcmFormat format = PcmFormatOf(in);
    m.state.reset(ebur128_init(unsigned(format.channels), unsigned(format.rate),
                               EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_SAMPLE_PEAK));
    if (!m.state) return Fail(Words(Say::kNoMemoryFor, path)), false;
    // One channel is heard from both speakers: it counts as twice its power, as two would.
    if (format.channels == 1) ebur128_set_channel(m.state.get(), 0, EBUR128_DUAL_MONO);
    const double seconds = in.source->lengthMs() / 1000.0;
    uint64_t frames = 0, shownPercent = 101;
    const size_t frameBytes = size_t(format.channels) * 2;
    const bool whole = WalkPcm(in, [&](const uint8_t* bytes, size_t length) {
        const size_t n = length / frameBytes;
        ebur128_add_frames_short(m.state.get(), reinterpret_cast<const short*>(bytes), n);
        frames += n;
        const auto percent = uint64_t(seconds > 0 ? frames * 100.0 / (seconds * format.rate) : 0);
        if (progress && percent != shownPercent && percent <= 100) {
            shownPercent = percent;
            std::fprintf(stderr, "\r[%zu/%zu] %3u%%  %s\x1b[K", index + 1, count, unsigned(percent),
                         Printable(path).c_str());
        }
    });
    if (progress) std::fputs("\r\x1b[K", stderr);
    if (!whole || in.file.Changed())
        return Fail(DescribeFileProblem(path, FileProblem::kChanged)), false;
    for (int32_t c = 0; c < format.channels; ++c) {
        double peak = 0;
        ebur128_sample_peak(m.state.get(), unsigned(c), &peak);
        m.peak = std::max(m.peak, peak);
    }
    m.name = path;
    return true;
}

// "-23.0 LUFS", or "silent" for a loudness no gating leaves (silence, or too short to measure).
std::string Lufs(double lufs) {
    char text[32];
    if (!std::isfinite(lufs)) return "silent";
    std::snprintf(text, sizeof text, "%.1f LUFS", lufs);
    return text;
}

// "+4.99 dB", "-1.18 dBFS", or "-" where there is no value.
std::string Decibels(const char* format, double value) {
    char text[32];
    if (!std::isfinite(value)) return "-";
    std::snprintf(text, sizeof text, format, value);
    return text;
}

const char* const kRowFormat = "%-11s  %-8s  %-11s  %-9s  %s\n";

void PrintRow(const std::string& name, double lufs, double range, double peak) {
    const double peakDb = peak > 0 ? 20 * std::log10(peak) : -INFINITY;
    const double gain = std::isfinite(lufs) ? kReferenceLufs - lufs : NAN;
    std::printf(kRowFormat, Lufs(lufs).c_str(), Decibels("%.1f LU", range).c_str(),
                Decibels("%.2f dBFS", peakDb + 0.0).c_str(), Decibels("%+.2f dB", gain).c_str(),
                name.c_str());
}

}  // namespace

int RunLoudness(const std::vector<std::string>& paths) {
    const bool progress = isatty(STDERR_FILENO) != 0;
    std::vector<Measured> measured;
    bool failed = false;
    for (size_t i = 0; i < paths.size(); ++i) {
        Measured m;
        if (Measure(paths[i], m, progress, i, paths.size())) {
            measured.push_back(std::move(m));
        } else {
            failed = true;
        }
    }
    if (!measured.empty()) {
        std::printf(kRowFormat, "loudness", "range", "peak", "gain", "file");
        std::vector<ebur128_state*> states;
        double albumPeak = 0;
        for (const Measured& m : measured) {
            double lufs = -INFINITY, range = 0;
            ebur128_loudness_global(m.state.get(), &lufs);
            ebur128_loudness_range(m.state.get(), &range);
            PrintRow(Printable(m.name), lufs, range, m.peak);
            states.push_back(m.state.get());
            albumPeak = std::max(albumPeak, m.peak);
        }
        double lufs = -INFINITY, range = 0;
        ebur128_loudness_global_multiple(states.data(), states.size(), &lufs);
        ebur128_loudness_range_multiple(states.data(), states.size(), &range);
        PrintRow("(album)", lufs, range, albumPeak);
    }
    if (!FlushStandardOutput()) return 1;
    return failed ? 1 : 0;
}

}  // namespace zirvak::cli
