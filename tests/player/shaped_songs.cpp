#include "shaped_songs.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zirvak::test {

namespace {

// Little-endian bytes of `samples`, `bits` / 8 bytes each.
Bytes RawBytes(const std::vector<int32_t>& samples, uint32_t bits) {
    Bytes out;
    for (const int32_t v : samples)
        for (uint32_t b = 0; b < bits / 8; ++b) out.push_back(uint8_t(uint32_t(v) >> (8 * b)));
    return out;
}

std::string RawFormat(const FlacShape& shape) {
    return " --force-raw-format --endian=little --sign=signed --channels=" +
           std::to_string(shape.channels) + " --bps=" + std::to_string(shape.bits) +
           " --sample-rate=" + std::to_string(shape.rate);
}

// A tone per channel (`toneHz` times the channel's number) under a little noise, frame by
// frame as `take(value)` in -1..1, channel after channel: a signal whose every sample differs
// from its neighbours, so a sample lost or out of place shows.
template <typename Take>
void ToneUnderNoise(uint32_t frames, int32_t channels, double rate, double toneHz, double tone,
                    double noise, uint32_t seed, Take&& take) {
    for (uint32_t i = 0; i < frames; ++i)
        for (int32_t c = 0; c < channels; ++c) {
            seed = seed * 1664525u + 1013904223u;
            const double n = (double(seed >> 8) / double(1 << 24) - 0.5) * noise;
            take(std::sin(2 * M_PI * (toneHz * (c + 1)) * i / rate) * tone + n);
        }
}

}  // namespace

std::vector<int32_t> FlacSignal(const FlacShape& shape) {
    std::vector<int32_t> out;
    out.reserve(size_t(shape.frames) * size_t(shape.channels));
    const double top = std::ldexp(1.0, int(shape.bits) - 1) - 1;
    ToneUnderNoise(shape.frames, shape.channels, shape.rate, 220.0, 0.85, 0.1, 7,
                   [&](double v) { out.push_back(int32_t(std::lround(v * top))); });
    return out;
}

std::string EncodeRawFlac(const TempDir& dir, const std::string& name, const FlacShape& shape,
                          const std::vector<int32_t>& samples, const std::string& args) {
    const std::string raw = WriteBytes(dir.Path(name + ".raw"), RawBytes(samples, shape.bits));
    const std::string out = dir.Path(name + ".flac");
    RunTool("flac --silent --force" + RawFormat(shape) + " " + args + " -o '" + out + "' '" + raw +
            "'");
    return out;
}

std::string EncodePipedFlac(const TempDir& dir, const std::string& name, const FlacShape& shape,
                            const std::vector<int32_t>& samples, const std::string& args) {
    const std::string raw = WriteBytes(dir.Path(name + ".raw"), RawBytes(samples, shape.bits));
    const std::string out = dir.Path(name + ".flac");
    RunTool("flac --silent --force --stdout" + RawFormat(shape) + " " + args + " - < '" + raw +
            "' > '" + out + "' 2>/dev/null");
    return out;
}

std::vector<int32_t> SamplesFromRaw(const Bytes& raw, uint32_t bits) {
    const uint32_t width = bits / 8;
    std::vector<int32_t> out(raw.size() / width);
    for (size_t i = 0; i < out.size(); ++i) {
        uint32_t v = 0;
        for (uint32_t b = 0; b < width; ++b) v |= uint32_t(raw[i * width + b]) << (8 * b);
        const uint32_t shift = 32 - bits;
        out[i] = int32_t(v << shift) >> shift;
    }
    return out;
}

std::vector<int16_t> AsPlayed(const std::vector<int32_t>& reference, const FlacShape& shape) {
    const double scale = std::ldexp(1.0, 16 - int(shape.bits));
    std::vector<int16_t> out;
    if (shape.channels <= 2) {
        for (const int32_t v : reference) out.push_back(Rounded(v * scale));
        return out;
    }
    EXPECT_EQ(shape.channels, 6);
    std::vector<double> scaled;
    for (const int32_t v : reference) scaled.push_back(v * scale);
    return MixedToStereo(scaled,
                         {.left = 0, .right = 1, .centre = 2, .backLeft = 4, .backRight = 5});
}

std::string EncodeWavPack(const TempDir& dir, const std::string& name, const FlacShape& shape,
                          const std::vector<int32_t>& samples, const std::string& args,
                          bool piped) {
    const std::string raw = WriteBytes(dir.Path(name + ".raw"), RawBytes(samples, shape.bits));
    const std::string out = dir.Path(name + ".wv");
    const std::string format = " --raw-pcm=" + std::to_string(shape.rate) + "," +
                               std::to_string(shape.bits) + "s," + std::to_string(shape.channels) +
                               ",le ";
    if (piped) {
        RunTool("wavpack -q -y" + format + args + " - -o - < '" + raw + "' > '" + out + "'");
    } else {
        RunTool("wavpack -q -y" + format + args + " '" + raw + "' -o '" + out + "'");
    }
    return out;
}

std::string EncodeAac(const TempDir& dir, const std::string& name, const FlacShape& shape,
                      const std::vector<int32_t>& samples, const std::string& args) {
    const std::string raw = WriteBytes(dir.Path(name + ".raw"), RawBytes(samples, 16));
    const std::string out = dir.Path(name + ".m4a");
    RunTool("ffmpeg -v error -y -f s16le -ar " + std::to_string(shape.rate) + " -ac " +
            std::to_string(shape.channels) + " -i '" + raw + "' -c:a aac -aac_pns 0 -b:a 160k " +
            args + " '" + out + "'");
    return out;
}

const char* Name(Codec codec) {
    return codec == Codec::kVorbis ? "Vorbis" : "Opus";
}

Bytes OggSignal(const OggShape& shape) {
    Bytes out;
    ToneUnderNoise(shape.frames, shape.channels, shape.rate, 330.0, 0.6, 0.05, 11, [&](double v) {
        const auto sample = int16_t(std::lround(v * 32767));
        out.push_back(uint8_t(sample));
        out.push_back(uint8_t(uint16_t(sample) >> 8));
    });
    return out;
}

std::string EncodeOgg(const TempDir& dir, const std::string& name, const OggShape& shape,
                      const Bytes& pcm, const std::string& opusArgs) {
    const std::string raw = WriteBytes(dir.Path(name + ".raw"), pcm);
    const std::string channels = std::to_string(shape.channels);
    const std::string rate = std::to_string(shape.rate);
    if (shape.codec == Codec::kVorbis) {
        const std::string out = dir.Path(name + ".ogg");
        RunTool("oggenc --quiet -r -B 16 -C " + channels + " -R " + rate + " -q 4 -o '" + out +
                "' '" + raw + "'");
        return out;
    }
    const std::string out = dir.Path(name + ".opus");
    RunTool("opusenc --quiet --raw --raw-bits 16 --raw-rate " + rate + " --raw-chan " + channels +
            " --bitrate 96 " + opusArgs + " '" + raw + "' '" + out + "'");
    return out;
}

uint32_t DecodedRate(const OggShape& shape) {
    return shape.codec == Codec::kOpus ? 48000 : shape.rate;
}

uint64_t PageGranule(const Bytes& ogg, int n) {
    size_t at = 0;
    for (int page = 0; at + 27 <= ogg.size(); ++page) {
        uint64_t granule = 0;
        for (int b = 7; b >= 0; --b) granule = granule << 8 | ogg[at + 6 + size_t(b)];
        if (page == n) return granule;
        size_t body = 0;
        for (int i = 0; i < ogg[at + 26]; ++i) body += ogg[at + 27 + size_t(i)];
        at += 27 + ogg[at + 26] + body;
    }
    return 0;
}

std::pair<size_t, size_t> PageBytes(const Bytes& ogg, int n) {
    size_t at = 0;
    for (int page = 0; at + 27 <= ogg.size(); ++page) {
        size_t body = 0;
        for (int i = 0; i < ogg[at + 26]; ++i) body += ogg[at + 27 + size_t(i)];
        const size_t end = at + 27 + ogg[at + 26] + body;
        if (page == n) return {at, end};
        at = end;
    }
    return {ogg.size(), ogg.size()};
}

}  // namespace zirvak::test
