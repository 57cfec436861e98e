// Whole-stream decoding speed, reported as a multiple of real time (x_realtime): seconds of
// audio decoded per second of CPU.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench_files.h"
#include "memory_source.h"
#include "mpeg_stream.h"

namespace zirvak::bench {
namespace {

void DecodeWholeFile(benchmark::State& state, const std::string& path) {
    const std::vector<uint8_t> file = ReadAll(path);
    mpeg::DecoderPtr decoder = mpeg::CreateDecoder();
    MemorySource source(file);
    MpegStream stream;
    if (file.empty() || OpenMpegStream(*decoder, source, stream) != FileProblem::kNone) {
        state.SkipWithError(("missing input " + path + " (run bench/make_bench_files.sh)").c_str());
        return;
    }
    std::vector<uint8_t> out;
    double audioSeconds = 0;
    for (auto _ : state) {
        MpegFrameWalk& walk = *stream.walk;
        if (!walk.SetUp()) {
            state.SkipWithError("decoder refused the stream");
            return;
        }
        const mpeg::StreamInfo info = walk.info();
        out.resize(size_t(info.outputBytesPerFrame));
        int64_t frames = 0;
        while (!walk.AtEnd()) {
            walk.DecodeNext(out.data());
            ++frames;
        }
        benchmark::DoNotOptimize(out.data());
        const int32_t samples = info.outputBytesPerFrame / (2 * info.outputChannels);
        audioSeconds = double(frames) * samples / info.sampleRate;
    }
    state.counters["x_realtime"] =
        benchmark::Counter(audioSeconds, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_DecodeLayerI(benchmark::State& state) {
    DecodeWholeFile(state, SourcePath("../shared/conformance/l1-fl2.bit"));
}
void BM_DecodeLayerII(benchmark::State& state) {
    DecodeWholeFile(state, SourcePath("res/sample.mp2"));
}
void BM_DecodeLayerIII_128k(benchmark::State& state) {
    DecodeWholeFile(state, SourcePath("build/bench-files/bench-128.mp3"));
}
void BM_DecodeLayerIII_320k(benchmark::State& state) {
    DecodeWholeFile(state, SourcePath("build/bench-files/bench-320.mp3"));
}
void BM_DecodeMusicLayerII_192k(benchmark::State& state) {
    DecodeWholeFile(state, SourcePath("build/bench-files/music-l2-192.mp2"));
}
void BM_DecodeMusicLayerIII_128k(benchmark::State& state) {
    DecodeWholeFile(state, SourcePath("build/bench-files/music-128.mp3"));
}
void BM_DecodeMusicLayerIII_320k(benchmark::State& state) {
    DecodeWholeFile(state, SourcePath("build/bench-files/music-320.mp3"));
}

BENCHMARK(BM_DecodeLayerI)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeLayerII)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeLayerIII_128k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeLayerIII_320k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeMusicLayerII_192k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeMusicLayerIII_128k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeMusicLayerIII_320k)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zirvak::bench
