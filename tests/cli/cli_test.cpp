// zirvak-cli run as a user runs it: what `info` reports, what `decode` writes, and how it fails
// (status 1 and one line on stderr for a file it cannot play, status 2 for bad usage).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "support/decode_file.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

const std::string kDir =
    (std::filesystem::temp_directory_path() / ("zirvak_cli_test_" + std::to_string(getpid())))
        .string();

const struct Cleanup {
    ~Cleanup() { std::filesystem::remove_all(kDir); }
} kCleanup;

std::string Quote(std::string s) {
    s.insert(s.begin(), '\'');
    s.push_back('\'');
    return s;
}

std::string Scratch(const std::string& name) {
    std::filesystem::create_directories(kDir);
    return Quote(kDir + "/" + name);
}

std::string Fixture(const std::string& name) {
    return Quote(RepoPath("tests/fixtures/mp3/" + name));
}

std::string Text(const std::string& quoted) {
    const std::vector<uint8_t> bytes = ReadFileBytes(quoted.substr(1, quoted.size() - 2));
    return {bytes.begin(), bytes.end()};
}

struct Result {
    int status = -1;
    std::string out, err;
};

// Runs zirvak-cli with the given (quoted) arguments.
Result Cli(const std::string& args) {
    const std::string out = Scratch("stdout"), err = Scratch("stderr");
    const int raw = std::system(
        (std::string("'") + ZIRVAK_CLI + "' " + args + " >" + out + " 2>" + err).c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Text(out), Text(err)};
}

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes = 4) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + size_t(i)];
    return v;
}

TEST(ZirvakCli, InfoDescribesTheStream) {
    const struct {
        const char* fixture;
        std::vector<std::string> lines;  // each must appear in the output
    } cases[] = {
        {"mpeg1_44100_joint_vbr.mp3",
         {"MPEG-1 Layer III", "44100 Hz", "variable", "32 frames, 10592 bytes"}},
        {"mpeg1_48000_joint_cbr160.mp3", {"MPEG-1 Layer III", "48000 Hz", "160 kbit/s"}},
        {"mpeg25_8000_mono_cbr16.mp3", {"MPEG-2.5 Layer III", "1 (single channel)", "16 kbit/s"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fixture);
        const Result r = Cli("info " + Fixture(c.fixture));
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        for (const std::string& w : c.lines) EXPECT_NE(r.out.find(w), std::string::npos) << w;
    }
}

TEST(ZirvakCli, DecodeWritesAWavFileAndTheSameSamplesRaw) {
    for (const char* name : {"mpeg1_44100_stereo_cbr128.mp3", "mpeg1_48000_mono_vbr.mp3"}) {
        SCOPED_TRACE(name);
        const DecodedStream expected =
            DecodeFile(RepoPath(std::string("tests/fixtures/mp3/") + name));
        ASSERT_EQ(Cli("decode " + Fixture(name) + " " + Scratch("out.wav")).status, 0);
        ASSERT_EQ(Cli("decode " + Fixture(name) + " " + Scratch("out.pcm")).status, 0);
        const std::string wavText = Text(Scratch("out.wav"));
        const std::vector<uint8_t> wav(wavText.begin(), wavText.end());
        const std::string raw = Text(Scratch("out.pcm"));
        EXPECT_TRUE(std::vector<uint8_t>(raw.begin(), raw.end()) == expected.pcm);
        ASSERT_GE(wav.size(), 44u);
        const uint32_t channels = uint32_t(expected.info.outputChannels);
        const uint32_t rate = uint32_t(expected.info.sampleRate);
        EXPECT_EQ(wavText.substr(0, 4) + wavText.substr(8, 8) + wavText.substr(36, 4),
                  "RIFFWAVEfmt data");
        const std::vector<uint32_t> fields = {Le(wav, 4),     Le(wav, 16),    Le(wav, 20, 2),
                                              Le(wav, 22, 2), Le(wav, 24),    Le(wav, 28),
                                              Le(wav, 32, 2), Le(wav, 34, 2), Le(wav, 40)};
        const std::vector<uint32_t> want = {
            uint32_t(wav.size() - 8), 16, 1, channels, rate, rate * channels * 2, channels * 2, 16,
            uint32_t(raw.size())};
        EXPECT_EQ(fields, want);
        EXPECT_EQ(wavText.substr(44), raw);
    }
}

TEST(ZirvakCli, FilesItCannotPlayFailWithOneLine) {
    std::ofstream(kDir + "/empty.mp3").close();
    std::ofstream(kDir + "/notes.mp3") << "These are notes, not audio. Nothing here syncs.\n";
    // A free-format stream: a fixture with the bit-rate index of every header cleared.
    std::vector<uint8_t> bytes =
        ReadFileBytes(RepoPath("tests/fixtures/mp3/mpeg1_44100_stereo_cbr128.mp3"));
    const DecodedStream d = DecodeBytes(bytes);
    ASSERT_TRUE(d.setUp);
    for (size_t at = 0; at + 4 <= bytes.size();) {
        ASSERT_EQ(bytes[at], 0xFF);
        const size_t length = d.info.minFrameLength + ((bytes[at + 2] >> 1) & 1);
        bytes[at + 2] &= 0x0F;
        at += length;
    }
    std::ofstream(kDir + "/free.mp3", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    for (const char* name : {"missing.mp3", "empty.mp3", "notes.mp3", "free.mp3"}) {
        for (const std::string& command :
             {"info " + Scratch(name), "decode " + Scratch(name) + " " + Scratch("o.wav")}) {
            SCOPED_TRACE(command);
            const Result r = Cli(command);
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
            EXPECT_TRUE(!r.err.empty() && r.err.back() == '\n');
        }
    }
}

TEST(ZirvakCli, BadUsageExitsWithStatusTwo) {
    const std::string mp3 = Fixture("mpeg2_16000_mono_cbr32.mp3");
    for (const std::string& args : {std::string(), "decode " + mp3, "info " + mp3 + " extra",
                                    std::string("play"), "render " + mp3, "frobnicate " + mp3}) {
        SCOPED_TRACE(args);
        const Result r = Cli(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("usage"), std::string::npos);
    }
}

}  // namespace
}  // namespace zirvak::test
