// RIFF WAVE files as the player reads them: the chunks are walked from the format chunk to the
// data chunk (other chunks never play), and the samples are played in chunks of 0x48000 bytes
// of 16-bit PCM, converted from 8-, 24- and 32-bit PCM and 32-bit float.
#pragma once

#include <cstdint>
#include <string>

#include "byte_source.h"
#include "input_file.h"

namespace zirvak {

inline constexpr uint32_t kWavChunkBytes = 0x48000;

// Sample rates played: what makes sense for sound, and what a sound server opens.
inline constexpr uint32_t kWavLowestRateHz = 1000;
inline constexpr uint32_t kWavHighestRateHz = 768000;

enum class WavSampleFormat { kPcm16, kPcm8, kPcm24, kPcm32, kFloat32 };

struct WavInfo {
    uint64_t dataOffset = 0;  // first sample byte (44, 56 or 58 for the classic layouts)
    uint32_t dataBytes = 0;   // sample bytes in the file, whole sample frames only
    int32_t channels = 0;
    uint32_t sampleRateHz = 0;
    WavSampleFormat format = WavSampleFormat::kPcm16;
    int32_t bytesPerSample = 2;

    uint32_t frameBytes() const { return uint32_t(channels * bytesPerSample); }
    uint32_t totalFrames() const { return frameBytes() ? dataBytes / frameBytes() : 0; }
    // Bytes of 16-bit PCM the samples make, and the chunks they are played in.
    // (64 bits: 8-bit samples of a data chunk near 4 GiB make more than 4 GiB of 16-bit PCM.)
    uint64_t pcm16Bytes() const { return uint64_t(totalFrames()) * uint32_t(channels) * 2; }
    uint64_t durationMs() const {
        return sampleRateHz ? uint64_t(totalFrames()) * 1000 / sampleRateHz : 0;
    }
};

// "RIFF" at offset 0 and "WAVE" at offset 8.
bool LooksLikeWav(ByteSource& source);

// Reads the header: the format chunk, then the chunks after it up to "data" (a "fact" chunk
// or any other is passed over). A file whose chunks do not lead to "data" still plays when
// one of the classic fixed layouts matches (data at 44, or at 56 or 58 after a "fact" chunk).
// kNotPlayable, with the reason in `reason`, for a header we cannot play: no data, more than
// two channels, a rate outside kWavLowestRateHz..kWavHighestRateHz, a sample format other than
// 8-, 16-, 24- or 32-bit PCM or 32-bit float. kNoAudio when the data holds no sample frame.
// A data size running past the end of the file is clamped to the bytes that are there.
FileProblem ReadWavHeader(ByteSource& source, WavInfo& info, std::string* reason = nullptr);

// Reads `frames` sample frames from `firstFrame` on and writes them to `out` as interleaved
// signed 16-bit PCM; `scratch` holds the raw samples of formats other than 16-bit (room for
// `frames` × frameBytes). Returns the 16-bit bytes written: fewer, in whole sample frames, when
// the file ends early.
uint32_t ReadWavPcm16(ByteSource& source, const WavInfo& info, uint64_t firstFrame, uint32_t frames,
                      uint8_t* out, uint8_t* scratch);

// Converts `frames` sample frames at `src` to interleaved signed 16-bit PCM at `dst`.
void ConvertToPcm16(const WavInfo& info, const uint8_t* src, uint32_t frames, uint8_t* dst);

}  // namespace zirvak
