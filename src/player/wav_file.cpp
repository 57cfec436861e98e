#include "wav_file.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <vector>

namespace zirvak {

namespace {

uint32_t U16(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8);
}
uint32_t U32(const uint8_t* p) {
    return U16(p) | (U16(p + 2) << 16);
}

constexpr uint32_t kFormatPcm = 1;
constexpr uint32_t kFormatFloat = 3;
constexpr uint32_t kFormatExtensible = 0xFFFE;
// Chunks looked at before giving up on finding "data".
constexpr int kMostChunks = 256;

bool Matches(ByteSource& source, uint64_t offset, const char* text) {
    const size_t n = std::strlen(text);
    uint8_t bytes[8];
    return source.ReadAt(offset, bytes, n) == n && std::memcmp(bytes, text, n) == 0;
}

int16_t Clip16(int32_t v) {
    return int16_t(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
}

bool LooksLikeChunkId(const uint8_t* id) {
    for (int i = 0; i < 4; ++i)
        if (!std::isprint(id[i])) return false;
    return true;
}

FileProblem Refuse(std::string* reason, FileProblem problem, const std::string& why) {
    if (reason) *reason = why;
    return problem;
}

// What a damaged header leaves out, in the words the user reads.
constexpr const char* kNoFormat = "the description of its sound is missing";
constexpr const char* kNoSamples = "its sound data is missing";

// Takes the sample format from a format chunk's first 16 (or, for WAVE_FORMAT_EXTENSIBLE, 26)
// bytes.
FileProblem ReadFormat(const uint8_t* fmt, uint32_t size, WavInfo& info, std::string* reason) {
    if (size < 16) return Refuse(reason, FileProblem::kDamaged, kNoFormat);
    uint32_t tag = U16(fmt);
    if (tag == kFormatExtensible && size >= 26) tag = U16(fmt + 24);  // the sub-format's tag
    info.channels = int32_t(U16(fmt + 2));
    info.sampleRateHz = U32(fmt + 4);
    const uint32_t bits = U16(fmt + 14);
    if (info.channels < 1 || info.channels > 2)
        return Refuse(reason, FileProblem::kUnsupported,
                      std::to_string(info.channels) + " channels; Zirvak plays mono and stereo");
    if (info.sampleRateHz < kWavLowestRateHz || info.sampleRateHz > kWavHighestRateHz)
        return Refuse(reason, FileProblem::kUnsupported,
                      "a sample rate of " + std::to_string(info.sampleRateHz) + " Hz");
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
        return Refuse(reason, FileProblem::kUnsupported,
                      "samples stored as format " + std::to_string(tag) + " with " +
                          std::to_string(bits) + " bits");
    info.bytesPerSample = int32_t(bits / 8);
    return FileProblem::kNone;
}

// Where the samples start by the chunk walk from `at`, or 0 when the chunks do not lead to
// "data". `oddBefore` says the chunk before `at` had an odd size.
uint64_t FindDataByChunks(ByteSource& source, uint64_t at, bool oddBefore) {
    for (int i = 0; i < kMostChunks; ++i) {
        uint8_t head[8];
        if (source.ReadAt(at, head, 8) != 8) return 0;
        // Chunks are padded to even sizes; some writers forget the pad byte after an odd one.
        uint8_t unpadded[8];
        if (oddBefore && !LooksLikeChunkId(head) && source.ReadAt(at - 1, unpadded, 8) == 8 &&
            LooksLikeChunkId(unpadded)) {
            at -= 1;
            std::memcpy(head, unpadded, 8);
        }
        if (std::memcmp(head, "data", 4) == 0) return at + 8;
        const uint64_t size = U32(head + 4);
        at += 8 + size + (size & 1);
        oddBefore = (size & 1) != 0;
    }
    return 0;
}

// Where the samples start by a search for a "data" chunk from `at` on, for files whose chunk
// sizes before it are damaged (an INFO list or id3 chunk written wrong): the first "data" whose
// size fits in the file, or 0.
uint64_t FindDataBySearch(ByteSource& source, uint64_t at) {
    constexpr size_t kBlock = 64 * 1024;
    std::vector<uint8_t> block(kBlock + 7);
    const uint64_t size = source.size();
    for (; at + 8 <= size; at += kBlock) {
        const size_t got = source.ReadAt(at, block.data(), block.size());
        if (got < 8) return 0;
        for (size_t i = 0; i + 8 <= got; ++i) {
            if (std::memcmp(&block[i], "data", 4) != 0) continue;
            const uint64_t samples = at + i + 8;
            const uint32_t bytes = U32(&block[i + 4]);
            if (bytes > 0 && bytes <= size - samples) return samples;
        }
        if (got < block.size()) return 0;
    }
    return 0;
}

// The classic layouts: data at 44 after a 16-byte format chunk, or a 4-byte "fact" chunk after
// a 16- or 18-byte format chunk and data at 56 or 58.
uint64_t FindDataByLayout(ByteSource& source) {
    if (Matches(source, 36, "fact")) return 56;
    if (Matches(source, 38, "fact")) return 58;
    if (Matches(source, 36, "data")) return 44;
    return 0;
}

}  // namespace

bool LooksLikeWav(ByteSource& source) {
    return Matches(source, 0, "RIFF") && Matches(source, 8, "WAVE");
}

FileProblem ReadWavHeader(ByteSource& source, WavInfo& info, std::string* reason) {
    info = {};
    if (!LooksLikeWav(source)) return Refuse(reason, FileProblem::kNotPlayable, "");
    // The format chunk comes first, perhaps after a few chunks of other kinds.
    uint64_t at = 12;
    uint8_t head[8];
    int chunks = 0;
    for (;; ++chunks) {
        if (chunks == kMostChunks || source.ReadAt(at, head, 8) != 8)
            return Refuse(reason, FileProblem::kDamaged, kNoFormat);
        if (std::memcmp(head, "fmt ", 4) == 0) break;
        if (std::memcmp(head, "data", 4) == 0)
            return Refuse(reason, FileProblem::kDamaged, kNoFormat);
        const uint64_t size = U32(head + 4);
        at += 8 + size + (size & 1);
    }
    const uint32_t formatSize = U32(head + 4);
    uint8_t fmt[40] = {};
    const uint32_t wanted = formatSize < sizeof fmt ? formatSize : uint32_t(sizeof fmt);
    if (source.ReadAt(at + 8, fmt, wanted) != wanted)
        return Refuse(reason, FileProblem::kDamaged, kNoFormat);
    const FileProblem format = ReadFormat(fmt, formatSize, info, reason);
    if (format != FileProblem::kNone) return format;

    uint64_t start =
        FindDataByChunks(source, at + 8 + formatSize + (formatSize & 1), (formatSize & 1) != 0);
    if (start == 0 && at == 12) start = FindDataByLayout(source);
    if (start == 0) start = FindDataBySearch(source, at + 8 + formatSize);
    if (start == 0 || start > source.size())
        return Refuse(reason, FileProblem::kDamaged, kNoSamples);

    uint8_t size[4];
    if (source.ReadAt(start - 4, size, 4) != 4)
        return Refuse(reason, FileProblem::kDamaged, kNoSamples);
    info.dataOffset = start;
    uint64_t bytes = U32(size);
    const uint64_t available = source.size() - start;
    if (bytes > available) bytes = available;
    info.dataBytes = uint32_t(bytes - bytes % info.frameBytes());
    if (info.dataBytes == 0) {
        return FileProblem::kNoAudio;
    }
    return FileProblem::kNone;
}

uint32_t ReadWavPcm16(ByteSource& source, const WavInfo& info, uint64_t firstFrame, uint32_t frames,
                      uint8_t* out, uint8_t* scratch) {
    const uint64_t offset = info.dataOffset + firstFrame * info.frameBytes();
    const size_t wanted = size_t(frames) * info.frameBytes();
    uint8_t* raw = info.format == WavSampleFormat::kPcm16 ? out : scratch;
    const uint32_t got = uint32_t(source.ReadAt(offset, raw, wanted) / info.frameBytes());
    if (info.format != WavSampleFormat::kPcm16) ConvertToPcm16(info, scratch, got, out);
    return got * uint32_t(info.channels) * 2;
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
