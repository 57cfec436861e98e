// What zirvak-cli says when it cannot do what it is asked: one line on stderr that names the
// file and the reason, exit status 1, nothing on stdout, and the user's files left as they were.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "cli_runner.h"
#include "player_fixtures.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

std::string Fixture(const std::string& name) {
    return RepoPath("tests/fixtures/mp3/" + name);
}

// A fixture with the bit-rate index of every header cleared: a free-format stream, not played.
Bytes FreeFormat() {
    Bytes bytes = ReadFileBytes(Fixture("mpeg1_44100_stereo_cbr128.mp3"));
    const std::vector<size_t> frames = FrameOffsets(bytes);
    for (size_t i = 0; i + 1 < frames.size(); ++i) bytes[frames[i] + 2] &= 0x0F;
    return bytes;
}

// A VBR fixture whose Xing header announces no frames at all.
Bytes XingWithNoFrames() {
    Bytes file = ReadFileBytes(Fixture("mpeg1_44100_joint_vbr.mp3"));
    const auto at = std::search(file.begin(), file.end(), std::begin("Xing"), std::end("Xing") - 1);
    EXPECT_NE(at, file.end());
    std::fill(at + 8, at + 12, 0);  // the frame count
    return file;
}

TEST(CliMessages, EachProblemWithTheInputHasItsOwnLine) {
    TempDir dir;
    const std::string folder = dir.Path("folder"), fifo = dir.Path("fifo.mp3");
    std::filesystem::create_directory(folder);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_symlink(dir.Path("loop2"), dir.Path("loop1"));
    std::filesystem::create_symlink(dir.Path("loop1"), dir.Path("loop2"));
    WavParams wildRate;
    wildRate.sampleRate = 4294967295u;
    const uint8_t header[] = {0xFF, 0xFB, 0x90, 0x64};
    Bytes repeated;
    for (int i = 0; i < 20000; ++i) repeated.insert(repeated.end(), header, header + 4);
    const std::string text = "These are notes, not audio.\n";

    const struct {
        std::string path, says;
    } cases[] = {
        {dir.Path("missing.mp3"), "%: no such file"},
        {dir.Path("loop1"), "% cannot be read (Too many levels of symbolic links)"},
        {folder, "% is a folder, not a file"},
        {fifo, "% is a pipe, not a file"},
        {WriteBytes(dir.Path("notes.mp3"), Bytes(text.begin(), text.end())),
         "% is not an audio file Zirvak can play"},
        {WriteBytes(dir.Path("empty.mp3"), Bytes()), "% is empty"},
        {WriteBytes(dir.Path("free.mp3"), FreeFormat()), "% is not an audio file Zirvak can play"},
        {WriteBytes(dir.Path("rate.wav"), MakeWav(wildRate, Pcm16Pattern(100, 2))),
         "% holds audio of a kind Zirvak cannot play (a sample rate of 4294967295 Hz)"},
        {WriteBytes(dir.Path("silent.wav"), MakeWav({}, Bytes())), "% holds no audio"},
        {WriteBytes(dir.Path("xing0.mp3"), XingWithNoFrames()), "% holds no audio"},
        {WriteBytes(dir.Path("repeated.mp3"), repeated), "% holds no audio"},
    };
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    for (const auto& c : cases) {
        std::string says = c.says;
        says.replace(says.find('%'), 1, c.path);
        for (const std::string& command :
             {"info " + Quote(c.path), "decode " + Quote(c.path) + " " + Quote(dir.Path("o.raw")),
              "render " + Quote(c.path) + " " + Quote(dir.Path("o.wav")),
              "play " + Quote(c.path)}) {
            SCOPED_TRACE(command);
            const CliResult r = Cli(command);
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.out, "");
            // play takes folders, and says when one holds nothing it plays.
            const bool folderToPlay = c.path == folder && command.rfind("play", 0) == 0;
            EXPECT_EQ(r.err,
                      "zirvak-cli: " +
                          (folderToPlay
                               ? folder + " holds no files Zirvak can play (MP3, "
                                          "MP2, MP1, WAV, FLAC, Ogg Vorbis, Opus, WavPack or AAC)"
                               : says) +
                          "\n");
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir.Path("o.raw")) ||
                 std::filesystem::exists(dir.Path("o.wav")));
}

// The names in `dir`, sorted.
std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(CliMessages, OutputsNeverHarmTheInputAndReplaceOutOnlyWhenComplete) {
    TempDir dir;
    const Bytes song = ReadFileBytes(Fixture("mpeg2_16000_mono_cbr32.mp3"));
    const std::string x = WriteBytes(dir.Path("x.mp3"), song), link = dir.Path("link.mp3");
    std::filesystem::create_symlink(x, link);
    const std::string notes = WriteBytes(dir.Path("notes.mp3"), Bytes(100, 'n'));
    const Bytes keep = {'k', 'e', 'e', 'p'};
    const std::string out = WriteBytes(dir.Path("out.wav"), keep);
    const struct {
        std::string args, says;
    } refused[] = {
        {"decode " + Quote(x) + " " + Quote(x), "cannot write " + x + ": it is the input file"},
        {"decode " + Quote(x) + " " + Quote(link),
         "cannot write " + link + ": it is the input file"},
        {"render " + Quote(x) + " " + Quote(x), "cannot write " + x + ": it is the input file"},
        {"render " + Quote(link) + " " + Quote(x), "cannot write " + x + ": it is the input file"},
        {"decode " + Quote(x) + " /missing-dir/out.wav",
         "cannot write /missing-dir/out.wav (No such file or directory)"},
        {"render " + Quote(x) + " /missing-dir/out.wav",
         "cannot write /missing-dir/out.wav (No such file or directory)"},
        {"decode " + Quote(x) + " " + Quote(dir.dir),
         "cannot write " + dir.dir + ": it is a folder"},
        {"decode " + Quote(notes) + " " + Quote(out),
         notes + " is not an audio file Zirvak can play"},
        {"render " + Quote(notes) + " " + Quote(out),
         notes + " is not an audio file Zirvak can play"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.args);
        const CliResult r = Cli(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "zirvak-cli: " + c.says + "\n");
    }
    EXPECT_TRUE(ReadFileBytes(x) == song);
    EXPECT_TRUE(ReadFileBytes(out) == keep);

    // A complete run replaces OUT; a device is written in place.
    for (const std::string command : {"decode", "render"}) {
        WriteBytes(out, keep);
        EXPECT_EQ(Cli(command + " " + Quote(link) + " " + Quote(out)).status, 0);
        const Bytes written = ReadFileBytes(out);
        EXPECT_TRUE(written.size() > 44 && std::memcmp(written.data(), "RIFF", 4) == 0);
    }
    EXPECT_EQ(Cli("decode " + Quote(x) + " /dev/null").status, 0);
    // No temporary file is left behind, whatever happened.
    EXPECT_EQ(Names(dir.dir),
              std::vector<std::string>({"link.mp3", "notes.mp3", "out.wav", "x.mp3"}));
}

}  // namespace
}  // namespace zirvak::test
