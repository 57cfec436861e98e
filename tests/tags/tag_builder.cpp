#include "tag_builder.h"

#include <cstring>
#include <random>

#include "memory_source.h"
#include "mpeg_stream.h"
#include "support/fixtures.h"

namespace zirvak::test {

namespace {

Bytes Of(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

void Append(Bytes& to, const Bytes& bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
}

Bytes Utf16Units(std::u16string_view text, bool bigEndian) {
    Bytes out;
    for (char16_t unit : text) {
        const uint8_t high = uint8_t(unit >> 8), low = uint8_t(unit);
        out.push_back(bigEndian ? high : low);
        out.push_back(bigEndian ? low : high);
    }
    return out;
}

// CRC-32 as ID3v2.3's extended header holds it (the polynomial of ISO 3309).
uint32_t Crc32(const Bytes& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

Bytes Le32(uint32_t value) {
    Bytes out(4);
    PutLe32(out, 0, value);
    return out;
}

Bytes FakePicture(Bytes start, size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes out = std::move(start);
    while (out.size() < size) {
        const uint32_t r = random();
        switch (r % 8) {
            case 0:
                out.push_back(0xFF);
                out.push_back(uint8_t(0xE0 | (r >> 8)));  // a false frame sync
                break;
            case 1:
                out.push_back(0xFF);
                out.push_back(0x00);
                break;
            default:
                out.push_back(uint8_t(r >> 8));
        }
    }
    out.resize(size);
    return out;
}

}  // namespace

void PutLe32(Bytes& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = uint8_t(value >> (8 * i));
}
void PutBe32(Bytes& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = uint8_t(value >> (24 - 8 * i));
}
uint32_t GetLe32(const Bytes& bytes, size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | bytes[at + size_t(i)];
    return value;
}
uint32_t GetBe32(const Bytes& bytes, size_t at) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = value << 8 | bytes[at + size_t(i)];
    return value;
}

Bytes Latin1Text(std::string_view latin1) {
    Bytes out{0x00};
    Append(out, Of(latin1));
    return out;
}

Bytes Utf16Text(std::u16string_view text, bool bigEndian) {
    Bytes out{0x01};
    Append(out, Utf16Units(u"\uFEFF", bigEndian));
    Append(out, Utf16Units(text, bigEndian));
    return out;
}

Bytes Utf16BeText(std::u16string_view text) {
    Bytes out{0x02};
    Append(out, Utf16Units(text, true));
    return out;
}

Bytes Utf8Text(std::string_view utf8) {
    Bytes out{0x03};
    Append(out, Of(utf8));
    return out;
}

Bytes ApicBody(std::string_view mimeType, uint8_t pictureType, const Bytes& picture) {
    Bytes out{0x00};
    Append(out, Of(mimeType));
    out.push_back(0x00);
    out.push_back(pictureType);
    out.push_back(0x00);  // no description
    Append(out, picture);
    return out;
}

Bytes Syncsafe(uint32_t value) {
    return {uint8_t(value >> 21 & 0x7F), uint8_t(value >> 14 & 0x7F), uint8_t(value >> 7 & 0x7F),
            uint8_t(value & 0x7F)};
}

Bytes Id3v2Frame(int version, std::string_view id, const Bytes& body, uint16_t flags) {
    Bytes out = Of(id);
    if (version == 4) {
        Append(out, Syncsafe(uint32_t(body.size())));
    } else {
        out.resize(8);
        PutBe32(out, 4, uint32_t(body.size()));
    }
    out.push_back(uint8_t(flags >> 8));
    out.push_back(uint8_t(flags));
    Append(out, body);
    return out;
}

Bytes Unsynchronise(const Bytes& bytes) {
    Bytes out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        out.push_back(bytes[i]);
        if (bytes[i] == 0xFF &&
            (i + 1 == bytes.size() || bytes[i + 1] == 0x00 || bytes[i + 1] >= 0xE0))
            out.push_back(0x00);
    }
    return out;
}

Bytes Id3v2Tag(const Id3v2Options& options, const std::vector<Id3v2FrameData>& frames) {
    Bytes body;
    for (const Id3v2FrameData& frame : frames) {
        if (options.unsynchronise && options.version == 4) {
            Append(body, Id3v2Frame(4, frame.id, Unsynchronise(frame.body), frame.flags | 0x0002));
        } else {
            Append(body, Id3v2Frame(options.version, frame.id, frame.body, frame.flags));
        }
    }
    body.resize(body.size() + options.padding, 0x00);

    uint8_t flags = 0;
    Bytes extended;
    if (options.extendedHeader) {
        flags |= 0x40;
        if (options.version == 4) {
            // Size (syncsafe, itself included), one flag byte, "tag is an update" with no data.
            extended = Syncsafe(7);
            Append(extended, {0x01, 0x40, 0x00});
        } else {
            // Size (itself excluded), the CRC flag, the padding's size, the frames' CRC-32.
            extended = {0, 0, 0, 10, 0x80, 0x00, 0, 0, 0, 0, 0, 0, 0, 0};
            PutBe32(extended, 6, uint32_t(options.padding));
            Bytes framesOnly(body.begin(), body.end() - ptrdiff_t(options.padding));
            PutBe32(extended, 10, Crc32(framesOnly));
        }
    }
    Bytes after = extended;
    Append(after, body);
    if (options.unsynchronise) {
        flags |= 0x80;
        if (options.version == 3) after = Unsynchronise(after);
    }
    Bytes tag = {'I', 'D', '3', uint8_t(options.version), 0, flags};
    Append(tag, Syncsafe(uint32_t(after.size())));
    Append(tag, after);
    return tag;
}

Bytes Id3v1Tag(std::string_view title, std::string_view artist, std::string_view album,
               uint8_t track, std::string_view year, uint8_t genre) {
    Bytes out(128, 0x00);
    std::memcpy(out.data(), "TAG", 3);
    const auto put = [&](size_t at, std::string_view text, size_t width) {
        std::memcpy(out.data() + at, text.data(), std::min(text.size(), width));
    };
    put(3, title, 30);
    put(33, artist, 30);
    put(63, album, 30);
    put(93, year, 4);
    put(97, "a comment", track ? 28 : 30);
    if (track) out[126] = track;  // after the comment's terminating zero at 125
    out[127] = genre;
    return out;
}

Bytes ApeValue(std::string_view text) {
    return Of(text);
}

Bytes ApeTag(const std::vector<ApeItem>& items, bool withHeader) {
    Bytes body;
    for (const ApeItem& item : items) {
        Append(body, Le32(uint32_t(item.value.size())));
        Append(body, Le32(item.binary ? 1u << 1 : 0u));  // bits 1-2: 0 text, 1 binary
        Append(body, Of(item.key));
        body.push_back(0x00);
        Append(body, item.value);
    }
    const auto headerOrFooter = [&](bool isHeader) {
        Bytes out = Of("APETAGEX");
        Append(out, Le32(2000));
        Append(out, Le32(uint32_t(body.size() + 32)));  // items and footer
        Append(out, Le32(uint32_t(items.size())));
        uint32_t flags = withHeader ? 1u << 31 : 0;
        if (isHeader) flags |= 1u << 29;
        Append(out, Le32(flags));
        out.resize(out.size() + 8, 0x00);
        return out;
    };
    Bytes tag = withHeader ? headerOrFooter(true) : Bytes{};
    Append(tag, body);
    Append(tag, headerOrFooter(false));
    return tag;
}

Bytes DemoAudio(size_t frames) {
    return FirstFrames(ReadFileBytes(RepoPath("res/demo.mp3")), frames);
}

int64_t MpegDurationMs(const Bytes& file) {
    mpeg::DecoderPtr decoder = mpeg::CreateDecoder();
    MemorySource source(file);
    MpegStream stream;
    if (OpenMpegStream(*decoder, source, stream) != FileProblem::kNone) return 0;
    return int64_t(double(stream.audioFrames()) * stream.frameMs() + 0.5);
}

Bytes FakeJpeg(size_t size, uint32_t seed) {
    return FakePicture({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00}, size, seed);
}

Bytes FakePng(size_t size, uint32_t seed) {
    return FakePicture({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, size, seed);
}

}  // namespace zirvak::test
