// Polyphase synthesis and PCM output, exposed for tests and benchmarks.
#pragma once

#include <cstdint>

#include "decoder.h"

namespace mpeg {

// The routines a stream can be given, in selection order: full-rate mono, full-rate stereo,
// half-rate mono, half-rate stereo, quarter-rate mono, quarter-rate stereo, all 16-bit, then
// the same six for 8-bit output. Layers I and II share one table.
struct SynthSelectionTables {
    SynthFunction layer12[12];
    SynthFunction layer3[12];
    // Layer I/II routines for a two-channel stream reduced to one channel, by channel option
    // 1 (mix), 2 (left), 3 (right), then 8-bit, then shift: [option - 1][w][shift].
    SynthFunction layer12Single[3][2][3];
};
extern const SynthSelectionTables SynthSelection;

// The routines a vector path has, all at full rate with 16-bit output: Layer I/II one channel
// and two, Layer III one channel and one of two (its half of each stereo pair).
struct VectorSynthesis {
    SynthFunction layer12Mono;
    SynthFunction layer12Stereo;
    SynthFunction layer3Mono;
    SynthFunction layer3Stereo;
};
#if defined(__x86_64__)
extern const VectorSynthesis kSse2Synthesis;
extern const VectorSynthesis kAvx2Synthesis;
#endif

// Unscaled DCT-II of n = 32, 16 or 8 values: y[k] = sum x[i]·cos((2i+1)·k·pi/(2n)). The
// 16-point form ignores x[15].
void FastDct(const float* x, float* y, int32_t n);

// Converts one output value to 16 bits: clipped to -32768..32767, then truncated toward zero.
// Written without branches so conversion loops vectorise; a NaN (which no valid stream
// produces) becomes 0 rather than reaching the conversion.
inline int32_t ToPcm16(float v) {
    v = v == v ? v : 0.0f;
    v = v > -32768.0f ? v : -32768.0f;
    v = v < 32767.0f ? v : 32767.0f;
    return int32_t(v);
}
uint8_t ToPcm8(int32_t pcm16);

}  // namespace mpeg
