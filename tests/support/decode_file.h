// Decodes a whole MPEG file the way zirvak-cli does (ID3v2 skipped, first frame found, a
// trailing "TAG" block left out, every frame walked), with any decoder options.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "mpeg_decoder.h"

namespace zirvak::test {

struct DecodedStream {
    bool setUp = false;         // false: no frame found, or the decoder refused the stream
    int32_t error = 0;          // the decoder's last error when not set up
    mpeg::StreamInfo info{};    // of the first frame
    int32_t frames = 0;         // frames walked
    int32_t framesDecoded = 0;  // frames the decoder accepted
    std::vector<uint8_t> pcm;   // one slot of outputBytesPerFrame per frame walked
};

// Why this run cannot test the decoder path ZIRVAK_DECODER_PATH asks for (the machine lacks
// it), or empty; prints the path new decoders take.
std::string DecoderPathProblem();
#define ZIRVAK_REQUIRE_DECODER_PATH()                                                           \
    do {                                                                                        \
        if (const std::string problem = ::zirvak::test::DecoderPathProblem(); !problem.empty()) \
            GTEST_SKIP() << problem;                                                            \
    } while (0)

DecodedStream DecodeBytes(std::span<const uint8_t> file, const mpeg::DecoderOptions& options = {});
DecodedStream DecodeFile(const std::string& path, const mpeg::DecoderOptions& options = {});

// The 16-bit samples of a decoded stream.
std::vector<int16_t> AsSamples(const std::vector<uint8_t>& pcm);

// mpg123's output for `path`, run as a black box: native 16-bit samples, interleaved, every
// frame (no gapless trimming). Whatever it writes counts, also for a damaged file on which it
// gives up part way; empty when it writes nothing.
std::vector<int16_t> Mpg123Samples(const std::string& path);

// The largest |difference| between the 16-bit samples of `played` and `reference` from sample
// `from` on; INT32_MAX when the reference ends first. mpg123 rounds where we truncate, so a
// faithful decode is at most 1 apart.
int32_t MaxDifference(std::span<const uint8_t> played, const std::vector<int16_t>& reference,
                      size_t from = 0);

}  // namespace zirvak::test
