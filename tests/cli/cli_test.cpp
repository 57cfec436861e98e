// zirvak-cli run as a user runs it: what `info` reports, what `decode` writes, and how it fails
// (status 1 and one line on stderr for a file it cannot play, status 2 for bad usage).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
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

namespace fs = std::filesystem;

// A scratch folder of this process, removed at the end.
class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("zirvak_cli_test_" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Scratch(const std::string& name) const { return (dir_ / name).string(); }

    struct Result {
        int status = -1;
        std::string out, err;
    };

    // Runs zirvak-cli with the given (already quoted) arguments.
    Result Run(const std::string& args) const {
        const std::string out = Scratch("stdout"), err = Scratch("stderr");
        const std::string command =
            std::string("'") + ZIRVAK_CLI + "' " + args + " >'" + out + "' 2>'" + err + "'";
        const int raw = std::system(command.c_str());
        Result r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = Text(out);
        r.err = Text(err);
        return r;
    }

    static std::string Text(const std::string& path) {
        const std::vector<uint8_t> bytes = ReadFileBytes(path);
        return {bytes.begin(), bytes.end()};
    }

    fs::path dir_;
};

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

std::string Fixture(const std::string& name) {
    return RepoPath("tests/fixtures/mp3/" + name);
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}
uint32_t Le16(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | uint32_t(b[at + 1]) << 8;
}

// The "N frames, M bytes" that a Xing header at the start of `file` announces.
std::string XingCounts(const std::string& path) {
    const std::vector<uint8_t> file = ReadFileBytes(path);
    const char tag[] = "Xing";
    const auto end = file.begin() + std::ptrdiff_t(std::min<size_t>(file.size(), 200));
    const auto at = std::search(file.begin(), end, tag, tag + 4);
    if (at == end || end - at < 16) {
        ADD_FAILURE() << "no Xing header in " << path;
        return "(no Xing header)";
    }
    const size_t p = size_t(at - file.begin());
    auto be32 = [&](size_t i) {
        return uint32_t(file[i]) << 24 | uint32_t(file[i + 1]) << 16 | uint32_t(file[i + 2]) << 8 |
               file[i + 3];
    };
    return std::to_string(be32(p + 8)) + " frames, " + std::to_string(be32(p + 12)) + " bytes";
}

TEST_F(CliTest, InfoDescribesTheStream) {
    struct Case {
        const char* fixture;
        std::vector<std::string> lines;  // each must appear in the output
        bool vbr;
    };
    const Case cases[] = {
        {"mpeg1_44100_joint_vbr.mp3",
         {"MPEG-1 Layer III", "44100 Hz", "2 (joint stereo)", "variable"},
         true},
        {"mpeg2_24000_joint_vbr.mp3", {"MPEG-2 Layer III", "24000 Hz", "variable"}, true},
        // lame's "Info" header of a constant-rate file does not make it variable.
        {"mpeg1_48000_joint_cbr160.mp3", {"MPEG-1 Layer III", "48000 Hz", "160 kbit/s"}, false},
        {"mpeg1_44100_joint_cbr96_id3v2.mp3", {"44100 Hz", "96 kbit/s"}, false},
        {"mpeg25_8000_mono_cbr16.mp3",
         {"MPEG-2.5 Layer III", "8000 Hz", "1 (single channel)", "16 kbit/s"},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        const std::string path = Fixture(c.fixture);
        const Result r = Run("info " + Quote(path));
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        std::vector<std::string> wanted = c.lines;
        if (c.vbr)
            wanted.push_back(XingCounts(path));
        else
            EXPECT_EQ(r.out.find("variable"), std::string::npos);
        wanted.push_back("frames:      " + std::to_string(DecodeFile(path).frames) + "\n");
        for (const std::string& w : wanted) EXPECT_NE(r.out.find(w), std::string::npos) << w;
    }
}

TEST_F(CliTest, DecodeWritesAWavFileAndTheSameSamplesRaw) {
    for (const char* name : {"mpeg1_44100_stereo_cbr128.mp3", "mpeg1_48000_mono_vbr.mp3",
                             "mpeg25_12000_stereo_vbr.mp3"}) {
        SCOPED_TRACE(name);
        const DecodedStream expected = DecodeFile(Fixture(name));
        const std::string wavPath = Scratch("out.wav"), rawPath = Scratch("out.pcm");
        ASSERT_EQ(Run("decode " + Quote(Fixture(name)) + " " + Quote(wavPath)).status, 0);
        ASSERT_EQ(Run("decode " + Quote(Fixture(name)) + " " + Quote(rawPath)).status, 0);
        const std::vector<uint8_t> wav = ReadFileBytes(wavPath);
        const std::vector<uint8_t> raw = ReadFileBytes(rawPath);
        EXPECT_EQ(raw, expected.pcm);

        ASSERT_GE(wav.size(), 44u);
        EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
        EXPECT_EQ(Le32(wav, 4), wav.size() - 8);
        EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 12), "WAVE");
        // Walk the chunks: "fmt " must come before "data", and "data" must end the file.
        size_t at = 12;
        bool sawFormat = false;
        while (at + 8 <= wav.size()) {
            const std::string id(wav.begin() + std::ptrdiff_t(at),
                                 wav.begin() + std::ptrdiff_t(at) + 4);
            const uint32_t size = Le32(wav, at + 4);
            if (id == "fmt ") {
                const uint32_t channels = Le16(wav, at + 10), rate = Le32(wav, at + 12);
                EXPECT_EQ(Le16(wav, at + 8), 1u);  // PCM
                EXPECT_EQ(channels, uint32_t(expected.info.outputChannels));
                EXPECT_EQ(rate, uint32_t(expected.info.sampleRate));
                EXPECT_EQ(Le32(wav, at + 16), rate * channels * 2);  // bytes per second
                EXPECT_EQ(Le16(wav, at + 20), channels * 2);         // block align
                EXPECT_EQ(Le16(wav, at + 22), 16u);
                sawFormat = true;
            } else if (id == "data") {
                EXPECT_TRUE(sawFormat);
                EXPECT_EQ(size, wav.size() - at - 8);
                EXPECT_TRUE(std::equal(raw.begin(), raw.end(), wav.begin() + std::ptrdiff_t(at) + 8,
                                       wav.end()));
                break;
            }
            at += 8 + size + (size & 1);
        }
        EXPECT_LT(at, wav.size()) << "no data chunk";
    }
}

TEST_F(CliTest, FilesItCannotPlayFailWithOneLine) {
    const std::string empty = Scratch("empty.mp3");
    std::ofstream(empty).close();
    const std::string text = Scratch("notes.mp3");
    std::ofstream(text) << std::string(40, '-')
                        << "\nThese are notes, not audio. Nothing here syncs.\n";
    // A free-format stream: a fixture with the bit-rate index of every header cleared.
    const std::string freeFormat = Scratch("free_format.mp3");
    {
        std::vector<uint8_t> bytes = ReadFileBytes(Fixture("mpeg1_44100_stereo_cbr128.mp3"));
        const DecodedStream d = DecodeBytes(bytes);
        ASSERT_TRUE(d.setUp);
        for (size_t at = 0; at + 4 <= bytes.size();) {
            ASSERT_EQ(bytes[at], 0xFF);
            const size_t length = d.info.minFrameLength + ((bytes[at + 2] >> 1) & 1);
            bytes[at + 2] &= 0x0F;
            at += length;
        }
        std::ofstream(freeFormat, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    const std::string cases[] = {Scratch("missing.mp3"), empty, text, freeFormat};
    for (const std::string& path : cases) {
        for (const std::string& command :
             {"info " + Quote(path), "decode " + Quote(path) + " " + Quote(Scratch("o.wav"))}) {
            SCOPED_TRACE(command);
            const Result r = Run(command);
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
            EXPECT_TRUE(!r.err.empty() && r.err.back() == '\n');
        }
    }
    // An output that cannot be created fails the same way.
    const Result r = Run("decode " + Quote(Fixture("mpeg2_16000_mono_cbr32.mp3")) + " " +
                         Quote(Scratch("no/such/folder/out.wav")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

TEST_F(CliTest, BadUsageExitsWithStatusTwo) {
    const std::string mp3 = Quote(Fixture("mpeg2_16000_mono_cbr32.mp3"));
    for (const std::string& args : {std::string(), std::string("info"), "decode " + mp3,
                                    "info " + mp3 + " extra", std::string("play"), "render " + mp3,
                                    "frobnicate " + mp3, "decode " + mp3 + " a.wav b.wav"}) {
        SCOPED_TRACE(args);
        const Result r = Run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("usage"), std::string::npos);
    }
}

}  // namespace
}  // namespace zirvak::test
