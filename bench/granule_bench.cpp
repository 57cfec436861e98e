// One Layer III granule's hybrid filterbank (IMDCT, windows, overlap) and polyphase synthesis,
// on the spectrum of a real granule.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench_files.h"
#include "layer3.h"
#include "memory_source.h"
#include "mpeg_stream.h"

namespace zirvak::bench {
namespace {

void BM_GranuleHybridAndSynthesis(benchmark::State& state) {
    const std::vector<uint8_t> file = ReadAll(SourcePath("build/bench-files/bench-128.mp3"));
    mpeg::DecoderPtr decoder = mpeg::CreateDecoder();
    MemorySource source(file);
    MpegStream stream;
    if (file.empty() || OpenMpegStream(*decoder, source, stream) != FileProblem::kNone) {
        state.SkipWithError("missing input (run bench/make_bench_files.sh)");
        return;
    }
    MpegFrameWalk& walk = *stream.walk;
    std::vector<uint8_t> out(size_t(walk.info().outputBytesPerFrame));
    for (int i = 0; i < 200 && !walk.AtEnd(); ++i) walk.DecodeNext(out.data());

    // Replay the hybrid stage of granule slot 1 from the same spectrum every time.
    mpeg::Decoder& d = *decoder;
    std::vector<float> spectrum(sizeof d.spectrum / sizeof(float));
    std::memcpy(spectrum.data(), d.spectrum, sizeof d.spectrum);
    int32_t counts[2][2];
    std::memcpy(counts, d.layer3.nonzeroCount, sizeof counts);
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(d.spectrum, spectrum.data(), sizeof d.spectrum);
        std::memcpy(d.layer3.nonzeroCount, counts, sizeof counts);
        state.ResumeTiming();
        d.layer3.hybrid(d, out.data(), 1);
        benchmark::DoNotOptimize(out.data());
    }
    // A granule is 576 samples per channel.
    state.counters["x_realtime"] = benchmark::Counter(
        576.0 / walk.info().sampleRate, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_GranuleHybridAndSynthesis);

}  // namespace
}  // namespace zirvak::bench
