// Decoded samples of any depth and channel count made into what the engine plays: interleaved
// 16-bit PCM in one or two channels.
//
// - Samples deeper than 16 bits are reduced with TPDF dither: up to ±1 LSB of triangular noise
//   added before rounding. The noise is a function of a fixed seed, the sample frame's index in
//   the song and the channel alone, so a run after a seek plays exactly the samples of the
//   unbroken run, and every render of a file is the same.
// - Mono and stereo stay as they are. More channels are mixed to stereo: front left and right at
//   full level, centre and surrounds at -3 dB (x0.7071) into both sides or their own side, the
//   LFE channel left out; the sum is clipped to 16 bits.
#pragma once

#include <atomic>
#include <cstdint>

namespace zirvak {

// The channels the engine gets for `channels` decoded ones.
inline int32_t OutputChannels(int32_t channels) {
    return channels >= 2 ? 2 : 1;
}

// Set by tests that compare with a reference rounded without dither.
inline std::atomic<bool> ditherOff{false};

// Where each channel of a layout lies: kWave is WAVE_FORMAT_EXTENSIBLE's order, L R C LFE BL BR
// (SL SR), with BC in place of BL BR for seven; kXiph the order Xiph.Org's codecs share, L C R
// BL BR LFE, with SL SR before the backs for seven and eight.
enum class ChannelOrder { kWave, kXiph };

// The weight of channel `channel` of a `channels`-channel layout in the left and right output.
struct MixWeights {
    double left = 0;
    double right = 0;
};
MixWeights ChannelWeights(ChannelOrder order, int32_t channels, int32_t channel);

// Writes `frames` sample frames starting with the song's frame `firstFrame` to `out`
// (OutputChannels(channels) int16 values a frame). `channel[c]` points at channel c's samples,
// each holding a value of `bits` bits (4 to 32; fewer than 16 are scaled up exactly); the
// sample i of channel c is channel[c][i].
void ReduceIntegerFrames(const int32_t* const* channel, int32_t channels, uint32_t bits,
                         ChannelOrder order, uint32_t frames, uint64_t firstFrame, int16_t* out);

// The same for float samples in [-1, 1]: interleaved, or one array a channel.
void ReduceFloatFrames(const float* interleaved, int32_t channels, ChannelOrder order,
                       uint32_t frames, uint64_t firstFrame, int16_t* out);
void ReduceFloatPlanar(const float* const* channel, int32_t channels, ChannelOrder order,
                       uint32_t frames, uint64_t firstFrame, int16_t* out);

}  // namespace zirvak
