// zirvak-cli on damaged files: bytes inserted, deleted or zeroed, bits flipped, a frame header
// altered. Each decoder's damaged output is compared with its own clean output, and Zirvak must
// find its way back into the music at least as well as mpg123 does on the same file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "cli_runner.h"
#include "support/decode_file.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

using Pcm = std::vector<int16_t>;  // interleaved stereo

constexpr long kRate = 44100;
constexpr long kBlock = kRate / 4;  // recovery is counted in quarter seconds
constexpr long kFrame = 1152;
// How far a block may have moved from where the previous one was found, in sample frames: 1000
// damaged bytes span up to four frames of the slimmest encoding, and a decoder may also lose the
// frames whose reservoir they fed.
constexpr long kMaxDrift = 8 * kFrame;

struct Encoding {
    const char* name;
    const char* lameOptions;
};
constexpr Encoding kEncodings[] = {
    {"cbr128", "-b 128"}, {"vbr4_xing", "-V 4"}, {"vbr6_untagged", "-V 6 -t"}};

// Runs a shell command; its status is not needed, what it writes is checked instead.
void Run(const std::string& command) {
    if (std::system(command.c_str()) == -1) std::perror(command.c_str());
}

// The demo song as Zirvak decodes it, re-encoded by lame in each encoding. Made once per
// program, in a folder removed at exit.
const std::string& Material() {
    static const struct Folder {
        std::string dir = (std::filesystem::temp_directory_path() /
                           ("zirvak_resilience_" + std::to_string(getpid())))
                              .string();
        Folder() {
            std::filesystem::create_directories(dir);
            const std::string wav = Quote(dir + "/demo.wav");
            Run(Quote(ZIRVAK_CLI) + " decode " + Quote(RepoPath("res/demo.mp3")) + " " + wav);
            for (const Encoding& e : kEncodings)
                Run("lame --quiet " + std::string(e.lameOptions) + " " + wav + " " +
                    Quote(dir + "/" + e.name + ".mp3"));
        }
        ~Folder() { std::filesystem::remove_all(dir); }
    } folder;
    return folder.dir;
}

// Raw stereo PCM from a decoder command line that ends where the output file is to be named.
Pcm Decode(const std::string& command) {
    const std::string out = Material() + "/out.raw";
    std::filesystem::remove(out);
    Run(command + Quote(out));
    const std::vector<uint8_t> bytes = ReadFileBytes(out);
    Pcm pcm(bytes.size() / 4 * 2);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = int16_t(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return pcm;
}
Pcm Zirvak(const std::string& mp3) {
    return Decode(Quote(ZIRVAK_CLI) + " decode " + Quote(mp3) + " ");
}

long Frames(const Pcm& pcm) {
    return long(pcm.size() / 2);
}

// Whether the block of `clean` starting at sample frame `from` lies in `damaged` at `at`,
// every sample within 1 LSB.
bool BlockAt(const Pcm& clean, long from, const Pcm& damaged, long at) {
    if (at < 0 || at + kBlock > Frames(damaged)) return false;
    const int16_t* a = &clean[size_t(2 * from)];
    const int16_t* b = &damaged[size_t(2 * at)];
    for (long i = 0; i < 2 * kBlock; ++i)
        if (std::abs(a[i] - b[i]) > 1) return false;
    return true;
}

// Seconds of `clean` found again in `damaged`, in blocks from sample frame `first` on.
// Strictly, each block at its own place, give or take one frame. Otherwise near the lag the
// previous block was found at, up to kMaxDrift: a decoder that drops or adds frames at a
// damage point is judged by where its output stands from there on.
double RecoveredSeconds(const Pcm& clean, const Pcm& damaged, bool strict, long first) {
    const long reach = strict ? kFrame : kMaxDrift;
    long lag = 0, found = 0;
    for (long from = first; from + kBlock <= Frames(clean); from += kBlock) {
        const auto near = [&](long centre) -> std::optional<long> {
            for (long d = 0; d <= reach; d = d > 0 ? -d : 1 - d)  // 0, 1, -1, 2, -2, ...
                if (BlockAt(clean, from, damaged, from + centre + d)) return centre + d;
            return std::nullopt;
        };
        std::optional<long> at = near(lag);
        if (!at && lag != 0) at = near(0);
        if (at) {
            if (!strict) lag = *at;
            ++found;
        }
    }
    return double(found * kBlock) / kRate;
}

// Where `a` starts in `b` (a sample frame of `b`), within a few frames: the decoders' outputs
// may begin a frame apart (one plays a VBR header's frame as silence, the other skips it). The
// blocks of both are counted on the same stretches of music, so that damage falling across a
// block boundary in one and not the other does not decide the comparison.
long Offset(const Pcm& a, const Pcm& b) {
    const long probe = 10 * kRate;
    for (long d = 0; d <= 4 * kFrame; d = d > 0 ? -d : 1 - d)
        if (BlockAt(a, probe, b, probe + d)) return d;
    ADD_FAILURE() << "the clean outputs of the two decoders do not match";
    return 0;
}

// A real MPEG-1 Layer III frame header at `i`: its sync, and the next one where its length says.
bool IsHeader(const std::vector<uint8_t>& f, size_t i) {
    static constexpr int kKbps[] = {0,   32,  40,  48,  56,  64,  80,  96,
                                    112, 128, 160, 192, 224, 256, 320, 0};
    static constexpr int kHz[] = {44100, 48000, 32000, 0};
    if (i + 4 > f.size() || f[i] != 0xFF || (f[i + 1] & 0xFE) != 0xFA) return false;
    const int kbps = kKbps[f[i + 2] >> 4], hz = kHz[f[i + 2] >> 2 & 3];
    if (kbps == 0 || hz == 0) return false;
    const size_t next = i + size_t(144000 * kbps / hz + (f[i + 2] >> 1 & 1));
    return next + 1 < f.size() && f[next] == 0xFF && (f[next + 1] & 0xE0) == 0xE0;
}

enum class Kind { kInsert, kDelete, kZero, kFlipBits, kBitRate };
struct Damage {
    const char* name;
    Kind kind;
    double amount;  // bytes, or the share of bits flipped
};
constexpr Damage kDamages[] = {
    {"insert 1", Kind::kInsert, 1},       {"insert 100", Kind::kInsert, 100},
    {"insert 1000", Kind::kInsert, 1000}, {"delete 1", Kind::kDelete, 1},
    {"delete 100", Kind::kDelete, 100},   {"delete 1000", Kind::kDelete, 1000},
    {"zero 1", Kind::kZero, 1},           {"zero 100", Kind::kZero, 100},
    {"zero 1000", Kind::kZero, 1000},     {"flip 1e-5", Kind::kFlipBits, 1e-5},
    {"flip 1e-4", Kind::kFlipBits, 1e-4}, {"bit-rate field", Kind::kBitRate, 0},
};

// `f` with the damage applied at a position drawn from the middle half of the file.
std::vector<uint8_t> Damaged(std::vector<uint8_t> f, const Damage& damage, std::mt19937& rng) {
    const size_t n = size_t(damage.amount);
    const size_t at = std::uniform_int_distribution<size_t>(f.size() / 4, f.size() * 3 / 4)(rng);
    switch (damage.kind) {
        case Kind::kInsert: {
            std::vector<uint8_t> junk(n);
            for (uint8_t& b : junk) b = uint8_t(rng());
            f.insert(f.begin() + long(at), junk.begin(), junk.end());
            break;
        }
        case Kind::kDelete:
            f.erase(f.begin() + long(at), f.begin() + long(at + n));
            break;
        case Kind::kZero:
            std::fill_n(f.begin() + long(at), n, 0);
            break;
        case Kind::kFlipBits: {
            std::geometric_distribution<size_t> gap(damage.amount);
            for (size_t bit = gap(rng); bit < f.size() * 8; bit += 1 + gap(rng))
                f[bit / 8] ^= uint8_t(1u << bit % 8);
            break;
        }
        case Kind::kBitRate: {
            size_t h = at;
            while (h < f.size() && !IsHeader(f, h)) ++h;
            if (h == f.size()) {
                ADD_FAILURE() << "no frame header after byte " << at;
                break;
            }
            const int old = f[h + 2] >> 4;
            int index = std::uniform_int_distribution<int>(1, 13)(rng);
            index += index >= old;  // any valid index but the one it had
            f[h + 2] = uint8_t(index << 4 | (f[h + 2] & 0x0F));
            break;
        }
    }
    return f;
}

uint32_t Seed() {
    static const uint32_t seed = TestSeed();
    return seed;
}

class Resilience : public testing::TestWithParam<size_t> {};

TEST_P(Resilience, RecoversFromDamageAtLeastAsWellAsMpg123) {
    const Encoding& encoding = kEncodings[GetParam()];
    const std::string mp3 = Material() + "/" + encoding.name + ".mp3";
    const std::string damagedMp3 = Material() + "/damaged.mp3";
    const std::vector<uint8_t> file = ReadFileBytes(mp3);
    ASSERT_GT(file.size(), 100000u) << "lame did not encode " << mp3;
    const Pcm cleanZirvak = Zirvak(mp3), cleanMpg123 = Mpg123Samples(mp3);
    ASSERT_GE(Frames(cleanZirvak), 30 * kRate);
    ASSERT_GE(Frames(cleanMpg123), 30 * kRate);
    const long offset = Offset(cleanZirvak, cleanMpg123);  // mpg123's sample frame = ours + offset

    for (size_t c = 0; c < std::size(kDamages); ++c) {
        const Damage& damage = kDamages[c];
        SCOPED_TRACE(std::string(encoding.name) + ", " + damage.name);
        std::seed_seq seq{Seed(), uint32_t(GetParam()), uint32_t(c)};
        std::mt19937 rng(seq);
        const std::vector<uint8_t> bytes = Damaged(file, damage, rng);
        std::ofstream(damagedMp3, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));

        const Pcm zirvak = Zirvak(damagedMp3), mpg123 = Mpg123Samples(damagedMp3);
        for (const bool strict : {true, false}) {
            const double zirvakSeconds =
                RecoveredSeconds(cleanZirvak, zirvak, strict, std::max(-offset, 0L));
            const double mpg123Seconds =
                RecoveredSeconds(cleanMpg123, mpg123, strict, std::max(offset, 0L));
            std::printf("%-14s %-15s %-9s mpg123 %6.2f s   zirvak %6.2f s\n", encoding.name,
                        damage.name, strict ? "in place" : "following", mpg123Seconds,
                        zirvakSeconds);
            EXPECT_GE(zirvakSeconds, mpg123Seconds - 0.5) << (strict ? "in place" : "following");
        }
        EXPECT_LE(Frames(zirvak), Frames(cleanZirvak) + kRate) << "damage made the output longer";
    }
}

INSTANTIATE_TEST_SUITE_P(DemoSong, Resilience, testing::Range<size_t>(0, std::size(kEncodings)),
                         [](const auto& p) { return std::string(kEncodings[p.param].name); });

}  // namespace
}  // namespace zirvak::test
