// Decodes the ISO/IEC 11172-4 and 13818-4 compliance streams and compares every sample with
// the reference decoder's output. The reference rounds where we truncate, so a difference of
// one is allowed and nothing more.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/decode_file.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

const char* const kReferenceVectors[] = {
    "l1-fl1",
    "l1-fl2",
    "l1-fl3",
    "l1-fl4",
    "l1-fl5",
    "l1-fl6",
    "l1-fl8",
    "l2-fl10",
    "l2-fl11",
    "l2-fl12",
    "l2-fl13",
    "l2-fl14",
    "l2-fl15",
    "l2-test32",
    "l3-compl",
    "l3-he_32khz",
    "l3-he_44khz",
    "l3-hecommon",
    "l3-si",
    "l3-si_block",
    "M2L3_compl24",
    "M2L3_bitrate_16_all",
    "M2L3_bitrate_22_all",
    "M2L3_bitrate_24_all",
};

struct Comparison {
    size_t compared = 0;
    int maxDiff = 0;
    double rms = 0;
};

Comparison Compare(const std::vector<int16_t>& ours, const std::vector<int16_t>& reference) {
    Comparison c;
    c.compared = std::min(ours.size(), reference.size());
    double sum = 0;
    for (size_t i = 0; i < c.compared; ++i) {
        const int diff = std::abs(int(ours[i]) - int(reference[i]));
        c.maxDiff = std::max(c.maxDiff, diff);
        sum += double(diff) * diff;
    }
    c.rms = c.compared ? std::sqrt(sum / double(c.compared)) : 0.0;
    return c;
}

TEST(Conformance, ReferenceVectorsMatchWithinOneLsb) {
    ZIRVAK_REQUIRE_DECODER_PATH();
    std::string dir;
    ZIRVAK_REQUIRE_CONFORMANCE_DIR(dir);
    std::printf("%-22s %7s %10s %9s %8s\n", "vector", "frames", "samples", "max|diff|", "rms");
    for (const char* name : kReferenceVectors) {
        SCOPED_TRACE(name);
        const std::string base = dir + "/" + name;
        const DecodedStream decoded = DecodeFile(base + ".bit");
        ASSERT_TRUE(decoded.setUp) << "refused with error " << decoded.error;
        const std::vector<int16_t> ours = AsSamples(decoded.pcm);
        const std::vector<int16_t> reference = AsSamples(ReadFileBytes(base + ".pcm"));
        const Comparison c = Compare(ours, reference);
        std::printf("%-22s %7d %10zu %9d %8.4f\n", name, decoded.frames, c.compared, c.maxDiff,
                    c.rms);
        EXPECT_GT(decoded.frames, 0);
        // Only a cut-off last frame may be refused.
        EXPECT_GE(decoded.framesDecoded, decoded.frames - 1);
        EXPECT_LE(c.maxDiff, 1);
    }
}

}  // namespace
}  // namespace zirvak::test
