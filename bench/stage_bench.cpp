// Layer III decoding stage by stage, on the first frames of real music: the lines (scale
// factors and Huffman), requantisation, stereo and alias reduction, the IMDCT with its windows
// and overlap, and the polyphase synthesis with PCM output. Each stage runs over every granule
// of the captured frames from the input the stage before it produced, so the times add up to
// the decoding of those frames; each includes copying its input back in (the Copy benchmark
// says how long that takes alone).
#include <benchmark/benchmark.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench_files.h"
#include "layer3.h"
#include "memory_source.h"
#include "mpeg_stream.h"

namespace zirvak::bench {
namespace {

constexpr size_t kFrames = 150;

// What a stage reads of a granule slot besides the decoder's frame state.
struct StageInput {
    float spectrum[2][576];
    int32_t nonzero[2];
    mpeg::BandInfo bands[2];
};

struct Capture {
    std::vector<std::unique_ptr<mpeg::Decoder>> frames;  // the decoder after each frame
    // [frame * 2 + slot]: the input of requantisation, stereo and the IMDCT.
    std::vector<StageInput> lines, requantised, stereo;
    // [(frame * 2 + slot) * 2 + channel]: the synthesis input.
    std::vector<std::array<float, 18 * 32>> subbands;
    int32_t outputBytes = 0;
    double audioSeconds = 0;
    std::string error;
};

StageInput Save(const mpeg::Decoder& d, int32_t slot) {
    StageInput in;
    for (int32_t ch = 0; ch < 2; ++ch) {
        std::memcpy(in.spectrum[ch], d.spectrum[ch][slot], sizeof in.spectrum[ch]);
        in.nonzero[ch] = d.layer3.nonzeroCount[slot][ch];
        in.bands[ch] = d.layer3.bandInfo[slot][ch];
    }
    return in;
}

void Restore(mpeg::Decoder& d, int32_t slot, const StageInput& in) {
    for (int32_t ch = 0; ch < 2; ++ch) {
        std::memcpy(d.spectrum[ch][slot], in.spectrum[ch], sizeof in.spectrum[ch]);
        d.layer3.nonzeroCount[slot][ch] = in.nonzero[ch];
        d.layer3.bandInfo[slot][ch] = in.bands[ch];
    }
}

// The lines of both granules of a frame again, from the frame's main data in the reservoir.
void DecodeLines(mpeg::Decoder& d, int32_t slot) {
    if (slot == 0) d.layer3.reservoir.bitCursor = d.layer3.reservoir.frameStart * 8;
    mpeg::DecodeGranuleLines(d, slot);
}

// Decodes the first frames of the file, keeping the decoder after each, and runs the stages of
// each granule once on that copy to keep what every stage is given.
const Capture& Captured() {
    static const Capture capture = [] {
        Capture c;
        const std::string path = SourcePath("build/bench-files/music-128.mp3");
        const std::vector<uint8_t> file = ReadAll(path);
        mpeg::DecoderPtr decoder = mpeg::CreateDecoder();
        MemorySource source(file);
        MpegStream stream;
        if (file.empty() || OpenMpegStream(*decoder, source, stream) != FileProblem::kNone) {
            c.error = "missing input " + path + " (run bench/make_bench_files.sh)";
            return c;
        }
        MpegFrameWalk& walk = *stream.walk;
        const mpeg::StreamInfo info = walk.info();
        if (info.version != 1 || info.layer != 3 || info.outputChannels != 2) {
            c.error = "not MPEG-1 Layer III stereo: " + path;
            return c;
        }
        c.outputBytes = info.outputBytesPerFrame;
        std::vector<uint8_t> out(size_t(c.outputBytes));
        // Past the start, where the reservoir is full and the music under way.
        for (int i = 0; i < 400 && !walk.AtEnd(); ++i) walk.DecodeNext(out.data());
        while (c.frames.size() < kFrames && !walk.AtEnd()) {
            if (!walk.DecodeNext(out.data())) continue;
            auto d = std::make_unique<mpeg::Decoder>(*decoder);
            for (int32_t slot = 0; slot < 2; ++slot) {
                DecodeLines(*d, slot);
                c.lines.push_back(Save(*d, slot));
                mpeg::RequantiseGranule(*d, slot);
                c.requantised.push_back(Save(*d, slot));
                mpeg::ProcessStereoAndAliasing(*d, slot);
                c.stereo.push_back(Save(*d, slot));
                for (int32_t ch = 0; ch < 2; ++ch) {
                    mpeg::TransformChannel(*d, slot, ch);
                    std::array<float, 18 * 32>& block = c.subbands.emplace_back();
                    std::memcpy(block.data(), d->layer3.subbandSamples, sizeof(float) * 576);
                }
            }
            c.frames.push_back(std::move(d));
        }
        c.audioSeconds = double(c.frames.size()) * 1152 / info.sampleRate;
        return c;
    }();
    return capture;
}

// Runs `stage` on every granule slot of every captured frame, per iteration.
template <typename Stage>
void RunStage(benchmark::State& state, Stage stage) {
    const Capture& c = Captured();
    if (!c.error.empty()) {
        state.SkipWithError(c.error.c_str());
        return;
    }
    std::vector<uint8_t> out(size_t(c.outputBytes));
    for (auto _ : state) {
        for (size_t f = 0; f < c.frames.size(); ++f)
            for (int32_t slot = 0; slot < 2; ++slot)
                stage(*c.frames[f], f * 2 + size_t(slot), slot, out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.counters["x_realtime"] =
        benchmark::Counter(c.audioSeconds, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Stage0_Copy(benchmark::State& state) {
    RunStage(state, [](mpeg::Decoder& d, size_t g, int32_t slot, uint8_t*) {
        Restore(d, slot, Captured().lines[g]);
    });
}

void BM_Stage1_Huffman(benchmark::State& state) {
    RunStage(state, [](mpeg::Decoder& d, size_t, int32_t slot, uint8_t*) { DecodeLines(d, slot); });
}

void BM_Stage2_Requantise(benchmark::State& state) {
    RunStage(state, [](mpeg::Decoder& d, size_t g, int32_t slot, uint8_t*) {
        Restore(d, slot, Captured().lines[g]);
        mpeg::RequantiseGranule(d, slot);
    });
}

void BM_Stage3_Stereo(benchmark::State& state) {
    RunStage(state, [](mpeg::Decoder& d, size_t g, int32_t slot, uint8_t*) {
        Restore(d, slot, Captured().requantised[g]);
        mpeg::ProcessStereoAndAliasing(d, slot);
    });
}

void BM_Stage4_Imdct(benchmark::State& state) {
    RunStage(state, [](mpeg::Decoder& d, size_t g, int32_t slot, uint8_t*) {
        Restore(d, slot, Captured().stereo[g]);
        for (int32_t ch = 0; ch < 2; ++ch) mpeg::TransformChannel(d, slot, ch);
    });
}

void BM_Stage5_Synthesis(benchmark::State& state) {
    RunStage(state, [](mpeg::Decoder& d, size_t g, int32_t, uint8_t* out) {
        for (int32_t ch = 0; ch < 2; ++ch) {
            std::memcpy(d.layer3.subbandSamples, Captured().subbands[g * 2 + size_t(ch)].data(),
                        sizeof(float) * 576);
            d.synth(d, &d.layer3.subbandSamples[0][0], out, ch);
        }
    });
}

BENCHMARK(BM_Stage0_Copy);
BENCHMARK(BM_Stage1_Huffman);
BENCHMARK(BM_Stage2_Requantise);
BENCHMARK(BM_Stage3_Stereo);
BENCHMARK(BM_Stage4_Imdct);
BENCHMARK(BM_Stage5_Synthesis);

}  // namespace
}  // namespace zirvak::bench
