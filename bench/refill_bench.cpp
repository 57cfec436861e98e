// One engine refill of an MPEG stream: decoding 64 frames, marking their beats and queuing
// them, as the device's completion thread does it every 1.67 s of 44.1 kHz sound. Reported
// with the share of that playing time it takes (share_of_playback, in percent).
#include <benchmark/benchmark.h>

#include <string>

#include "bench_files.h"
#include "player_engine.h"
#include "test_audio_device.h"

namespace zirvak::bench {
namespace {

void BM_MpegRefill320k(benchmark::State& state) {
    const std::string path = SourcePath("build/bench-files/bench-320.mp3");
    TestAudioDevice device;
    device.keepCopies = false;
    PlayerEngine engine(device);
    if (engine.Open(path, 0, kDefaultEndMs) != kOpenStarted) {
        state.SkipWithError("missing input (run bench/make_bench_files.sh)");
        return;
    }
    const double bufferMs = 64.0 * 1152 * 1000 / engine.sampleRate();
    for (auto _ : state) {
        // Each completion refills the returned buffer; at the end, start the stream again.
        if (engine.state() != Playing) {
            state.PauseTiming();
            engine.Restart();
            state.ResumeTiming();
        }
        device.CompleteOldest();
    }
    // Seconds per refill over seconds of sound per buffer, in percent.
    state.counters["share_of_playback"] =
        benchmark::Counter(bufferMs / 100000.0, benchmark::Counter::kIsIterationInvariantRate |
                                                    benchmark::Counter::kInvert);
}

BENCHMARK(BM_MpegRefill320k)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zirvak::bench
