// RIFF WAVE files as the player reads them: the header at one of three fixed layouts (a
// 16-byte format chunk followed by the data chunk, or by a 4-byte "fact" chunk, or an 18-byte
// format chunk followed by a "fact" chunk), samples played in chunks of 0x48000 bytes of
// 16-bit PCM.
#pragma once

#include <cstdint>
#include <span>

namespace zirvak {

inline constexpr uint32_t kWavChunkBytes = 0x48000;

enum class WavSampleFormat { kPcm16, kPcm8, kPcm24, kPcm32, kFloat32 };

struct WavInfo {
    uint32_t dataOffset = 0;  // first sample byte: 44, 56 or 58
    uint32_t dataBytes = 0;   // sample bytes in the file, whole sample frames only
    int32_t channels = 0;
    uint32_t sampleRateHz = 0;
    WavSampleFormat format = WavSampleFormat::kPcm16;
    int32_t bytesPerSample = 2;

    uint32_t frameBytes() const { return uint32_t(channels * bytesPerSample); }
    uint32_t totalFrames() const { return dataBytes / frameBytes(); }
    // Bytes of 16-bit PCM the samples make, and the chunks they are played in.
    uint32_t pcm16Bytes() const { return totalFrames() * uint32_t(channels) * 2; }
};

// "RIFF" at offset 0 and "WAVEfmt" at offset 8.
bool LooksLikeWav(std::span<const uint8_t> file);

// Reads the header. False when the file matches none of the layouts, is shorter than its
// header, has no samples we can play (channels other than 1 or 2, a zero rate, a sample
// format other than 8-, 16-, 24- or 32-bit PCM or 32-bit float). A data size running past the
// end of the file is clamped to the bytes that are there.
bool ReadWavHeader(std::span<const uint8_t> file, WavInfo& info);

// Converts `frames` sample frames at `src` to interleaved signed 16-bit PCM at `dst`.
void ConvertToPcm16(const WavInfo& info, const uint8_t* src, uint32_t frames, uint8_t* dst);

}  // namespace zirvak
