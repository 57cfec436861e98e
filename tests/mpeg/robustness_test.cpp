// Whatever the bytes, the decoder either decodes them or refuses them cleanly. These tests
// feed it the illegal and unusual streams of the conformance set, truncated and bit-flipped
// copies of the legal ones, and random bytes behind valid headers; the sanitizer build turns
// any read outside the input, or any undefined arithmetic, into a failure.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "support/decode_file.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

// Option sets that reach every synthesis variant: rates, channel handling, 8-bit output.
std::vector<mpeg::DecoderOptions> OptionVariants() {
    return {
        {0, 0, 24000},
        {1, mpeg::kChannelsMix, 24000},
        {2, mpeg::kChannelsLeft | mpeg::kOutputFlag8Bit, 24000},
        {0, mpeg::kChannelsRight, 11025},
        {1, mpeg::kOutputFlag8Bit, 8000},
    };
}

void DecodeAllWays(std::span<const uint8_t> bytes) {
    for (const mpeg::DecoderOptions& options : OptionVariants()) {
        const DecodedStream d = DecodeBytes(bytes, options);
        if (d.setUp) {
            EXPECT_EQ(d.pcm.size(), size_t(d.frames) * size_t(d.info.outputBytesPerFrame));
        }
    }
}

std::vector<std::string> UnusualVectors(const std::string& dir) {
    std::vector<std::string> files;
    for (const std::string& f : ListFiles(dir, ".bit")) {
        const std::string name = f.substr(f.rfind('/') + 1);
        if (name.rfind("ILL", 0) == 0 || name.find("nonstandard") != std::string::npos ||
            name.find("free") != std::string::npos || name.rfind("l3-he_mode", 0) == 0)
            files.push_back(f);
    }
    for (const std::string& f : ListFiles(dir + "/fuzz", "", true)) files.push_back(f);
    return files;
}

std::vector<std::string> LegalVectors(const std::string& dir) {
    std::vector<std::string> files;
    for (const std::string& f : ListFiles(dir, ".bit")) {
        const std::string name = f.substr(f.rfind('/') + 1);
        if (name.rfind("l1-", 0) == 0 || name.rfind("l2-fl", 0) == 0 ||
            name.rfind("l2-test", 0) == 0 || name.rfind("M2L3", 0) == 0 || name == "l3-compl.bit" ||
            name == "l3-si.bit" || name == "l3-hecommon.bit")
            files.push_back(f);
    }
    return files;
}

TEST(Robustness, IllegalAndNonstandardVectorsDecodeOrRefuse) {
    std::string dir;
    ZIRVAK_REQUIRE_CONFORMANCE_DIR(dir);
    const std::vector<std::string> files = UnusualVectors(dir);
    ASSERT_FALSE(files.empty());
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        DecodeAllWays(ReadFileBytes(path));
    }
}

TEST(Robustness, FreeFormatStreamsAreNotPlayedAsTheirFirstFrame) {
    std::string dir;
    ZIRVAK_REQUIRE_CONFORMANCE_DIR(dir);
    for (const char* name : {"l3-he_free.bit", "l2-nonstandard-free_format.bit"}) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> bytes = ReadFileBytes(dir + "/" + name);
        ASSERT_GE(bytes.size(), 4u);
        mpeg::DecoderPtr decoder = mpeg::CreateDecoder();
        mpeg::FrameHeader header;
        EXPECT_EQ(mpeg::ParseHeader(*decoder, bytes.data(), header), 0);
        EXPECT_EQ(mpeg::LastDecoderError(*decoder), mpeg::kErrorInvalidHeader);
        DecodeAllWays(bytes);
    }
}

TEST(Robustness, TruncatedStreamsDecodeOrRefuse) {
    std::string dir;
    ZIRVAK_REQUIRE_CONFORMANCE_DIR(dir);
    for (const std::string& path : LegalVectors(dir)) {
        SCOPED_TRACE(path);
        const std::vector<uint8_t> bytes = ReadFileBytes(path);
        // Cuts everywhere near the start (inside headers and side information), then at
        // spread-out places through the stream.
        std::vector<size_t> cuts;
        for (size_t n = 0; n < 200 && n < bytes.size(); n += 7) cuts.push_back(n);
        for (size_t n = 200; n < bytes.size(); n += bytes.size() / 9 + 13) cuts.push_back(n);
        for (size_t n : cuts) {
            const DecodedStream d = DecodeBytes({bytes.data(), n});
            if (d.setUp) {
                EXPECT_GT(d.frames, 0);
            }
        }
    }
}

TEST(Robustness, BitFlippedStreamsDecodeOrRefuse) {
    std::string dir;
    ZIRVAK_REQUIRE_CONFORMANCE_DIR(dir);
    std::mt19937 rng(TestSeed());
    for (const std::string& path : LegalVectors(dir)) {
        SCOPED_TRACE(path);
        const std::vector<uint8_t> original = ReadFileBytes(path);
        for (int round = 0; round < 6; ++round) {
            std::vector<uint8_t> bytes = original;
            const int flips = 1 + int(rng() % 64);
            for (int i = 0; i < flips; ++i)
                bytes[rng() % bytes.size()] ^= uint8_t(1u << (rng() % 8));
            const mpeg::DecoderOptions options = OptionVariants()[size_t(round) % 5];
            DecodeBytes(bytes, options);
        }
    }
}

TEST(Robustness, RandomBytesBehindValidHeadersDecodeOrRefuse) {
    std::mt19937 rng(TestSeed());
    for (int round = 0; round < 400; ++round) {
        std::vector<uint8_t> bytes(size_t(rng() % 6000));
        for (uint8_t& b : bytes) b = uint8_t(rng());
        // Plant headers of every layer and version here and there, so the frame walk and the
        // layer decoders get to work on the random payload.
        for (size_t at = 0; at + 4 <= bytes.size(); at += 50 + rng() % 900) {
            bytes[at] = 0xFF;
            bytes[at + 1] = uint8_t(0xE2 | (rng() % 14));  // sync, any version and layer
            bytes[at + 2] = uint8_t(((1 + rng() % 14) << 4) | ((rng() % 3) << 2) | (rng() % 4));
        }
        const mpeg::DecoderOptions options = OptionVariants()[size_t(round) % 5];
        DecodeBytes(bytes, options);
    }
}

}  // namespace
}  // namespace zirvak::test
