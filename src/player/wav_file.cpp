#include "wav_file.h"

#include <cmath>
#include <cstring>

namespace zirvak {

namespace {

uint32_t U16(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8);
}
uint32_t U32(const uint8_t* p) {
    return U16(p) | (U16(p + 2) << 16);
}

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;

bool Matches(std::span<const uint8_t> file, size_t offset, const char* text) {
    const size_t n = std::strlen(text);
    return file.size() >= offset + n && std::memcmp(file.data() + offset, text, n) == 0;
}

int16_t Clip16(int32_t v) {
    return int16_t(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
}

}  // namespace

bool LooksLikeWav(std::span<const uint8_t> file) {
    return Matches(file, 0, "RIFF") && Matches(file, 8, "WAVEfmt");
}

bool ReadWavHeader(std::span<const uint8_t> file, WavInfo& info) {
    if (!LooksLikeWav(file)) return false;
    uint32_t start = 0;
    if (Matches(file, 36, "fact"))
        start = 56;
    else if (Matches(file, 38, "fact"))
        start = 58;
    else if (Matches(file, 36, "data"))
        start = 44;
    if (start == 0 || file.size() < start) return false;

    const uint8_t* h = file.data();
    info.dataOffset = start;
    info.channels = int32_t(U16(h + 22));
    info.sampleRateHz = U32(h + 24);
    const uint32_t tag = U16(h + 20);
    const uint32_t bits = U16(h + 34);
    if (info.channels < 1 || info.channels > 2 || info.sampleRateHz == 0) return false;
    if (tag == kFormatPcm && bits == 16)
        info.format = WavSampleFormat::kPcm16;
    else if (tag == kFormatPcm && bits == 8)
        info.format = WavSampleFormat::kPcm8;
    else if (tag == kFormatPcm && bits == 24)
        info.format = WavSampleFormat::kPcm24;
    else if (tag == kFormatPcm && bits == 32)
        info.format = WavSampleFormat::kPcm32;
    else if (tag == kFormatFloat && bits == 32)
        info.format = WavSampleFormat::kFloat32;
    else
        return false;
    info.bytesPerSample = int32_t(bits / 8);

    uint32_t bytes = U32(h + start - 4);
    const uint64_t available = file.size() - start;
    if (bytes > available) bytes = uint32_t(available);
    info.dataBytes = bytes - bytes % info.frameBytes();
    return true;
}

void ConvertToPcm16(const WavInfo& info, const uint8_t* src, uint32_t frames, uint8_t* dst) {
    const uint32_t samples = frames * uint32_t(info.channels);
    for (uint32_t i = 0; i < samples; ++i) {
        int16_t v = 0;
        switch (info.format) {
            case WavSampleFormat::kPcm16:
                v = int16_t(U16(src + 2 * i));
                break;
            case WavSampleFormat::kPcm8:
                v = int16_t((int32_t(src[i]) - 128) * 256);
                break;
            case WavSampleFormat::kPcm24:
                v = int16_t(U16(src + 3 * i + 1));
                break;
            case WavSampleFormat::kPcm32:
                v = int16_t(U16(src + 4 * i + 2));
                break;
            case WavSampleFormat::kFloat32: {
                float f;
                std::memcpy(&f, src + 4 * i, 4);
                if (!std::isfinite(f)) f = 0.0f;
                f = f > 1.0f ? 1.0f : f < -1.0f ? -1.0f : f;
                v = Clip16(int32_t(std::lround(f * 32768.0f)));
                break;
            }
        }
        dst[2 * i] = uint8_t(uint16_t(v) & 0xFF);
        dst[2 * i + 1] = uint8_t(uint16_t(v) >> 8);
    }
}

}  // namespace zirvak
