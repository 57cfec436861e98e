// Small playable files for the window tests, written to a temporary folder.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace zirvak::test {

// A 16-bit PCM WAV of `seconds` of a low square wave (loud enough to carry beats).
inline std::string WriteTestWav(const std::string& name, double seconds, uint32_t rate = 22050,
                                uint16_t channels = 2) {
    const auto frames = uint32_t(seconds * rate);
    std::vector<int16_t> samples(size_t(frames) * channels);
    for (uint32_t i = 0; i < frames; ++i)
        for (uint16_t c = 0; c < channels; ++c)
            samples[size_t(i) * channels + c] = int16_t((i / 200) % 2 ? 12000 : -12000);
    const uint32_t dataBytes = uint32_t(samples.size() * 2);
    uint8_t h[44] = {};
    auto put16 = [&](int at, uint32_t v) { h[at] = uint8_t(v), h[at + 1] = uint8_t(v >> 8); };
    auto put32 = [&](int at, uint32_t v) { put16(at, v & 0xFFFF), put16(at + 2, v >> 16); };
    std::memcpy(h, "RIFF", 4);
    put32(4, 36 + dataBytes);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1);
    put16(22, channels);
    put32(24, rate);
    put32(28, rate * channels * 2);
    put16(32, channels * 2u);
    put16(34, 16);
    std::memcpy(h + 36, "data", 4);
    put32(40, dataBytes);
    const std::string path = (std::filesystem::temp_directory_path() / name).string();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(h, 1, sizeof h, f);
    std::fwrite(samples.data(), 1, dataBytes, f);
    std::fclose(f);
    return path;
}

}  // namespace zirvak::test
