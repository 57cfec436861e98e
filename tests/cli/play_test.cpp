// zirvak-cli play in a terminal: keys act as soon as they are typed, the clock on the progress
// line stops with the music, each song is named as it starts, and the progress line stays
// within the terminal's width; written to a file, the output is the songs' lines alone.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "player_fixtures.h"
#include "support/fixtures.h"
#include "support/private_home.h"

namespace zirvak::test {
namespace {

// The last progress line written so far ("0:03 / 0:32  playing  volume 100%  song 1/1"),
// without its colours and its beat mark.
std::string LastLine(const std::string& output) {
    const size_t end = output.rfind("\x1b[K");
    if (end == std::string::npos) return output;
    const size_t start = output.rfind('\r', end);
    std::string line = output.substr(start + 1, end - start - 1);
    for (size_t esc; (esc = line.find("\x1b[")) != std::string::npos;)
        line.erase(esc, line.find('m', esc) - esc + 1);
    return line.substr(0, line.find_last_not_of(" *") + 1);
}

// Reads until the progress line satisfies `ok`, at most `ms`; returns the line.
template <typename Ok>
std::string WaitForLine(PtyCli& play, Ok ok, int ms = 10000) {
    std::string line;
    for (int waited = 0; waited < ms; waited += 100)
        if (ok(line = LastLine(play.ReadFor(100)))) break;
    return line;
}

bool Has(const std::string& line, const std::string& part) {
    return line.find(part) != std::string::npos;
}

// Reads until the output so far holds `part`, at most `ms`.
bool WaitForOutput(PtyCli& play, const std::string& part, int ms = 10000) {
    for (int waited = 0; waited < ms; waited += 100)
        if (Has(play.ReadFor(100), part)) return true;
    return false;
}

// The lines `output` draws, split where a carriage return or a line feed sends the cursor back
// to the margin, without their escape sequences.
std::vector<std::string> DrawnLines(const std::string& output) {
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < output.size(); ++i) {
        if (output[i] == '\r' || output[i] == '\n') {
            lines.emplace_back();
        } else if (output[i] == '\x1b' && i + 1 < output.size() && output[i + 1] == '[') {
            for (i += 2; i < output.size() && !(output[i] >= 0x40 && output[i] <= 0x7E);) ++i;
        } else {
            lines.back() += output[i];
        }
    }
    return lines;
}

// The columns a line takes: one for each character (UTF-8 continuation bytes take none).
size_t Columns(const std::string& line) {
    return size_t(
        std::count_if(line.begin(), line.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// Every line of `output` leaves the last of `columns` free.
void ExpectWithin(const std::string& output, size_t columns) {
    for (const std::string& line : DrawnLines(output))
        EXPECT_LT(Columns(line), columns) << "too wide for " << columns << ": " << line;
}

// 20 s of 8 kHz mono, and the same with "Kelebek – Gece" in its tags.
struct TwoSongs {
    explicit TwoSongs(const TempDir& dir, uint32_t frames = 160000) {
        WavParams mono8k;
        mono8k.channels = 1;
        mono8k.sampleRate = 8000;
        const Bytes wav = MakeWav(mono8k, Pcm16Pattern(frames, 1));
        plain = WriteBytes(dir.Path("a.wav"), wav);
        tagged = WriteBytes(dir.Path("b.wav"),
                            WithRiffInfo(wav, {{"INAM", "Gece"}, {"IART", "Kelebek"}}));
    }
    std::string plain, tagged;
};

// On a terminal, a name's line break, escape sequence, carriage return and byte outside UTF-8
// are shown escaped in the song's line and in the message of one that cannot play.
TEST(CliPlay, ANameCannotWriteToTheTerminal) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    TempDir dir;
    const PrivateHome home(dir.dir);  // the default volume
    const std::string name = "x\nINJECTED: \x1b[31m\r\xff";
    const TwoSongs songs(dir, 4000);
    const std::string song = dir.Path(name + ".wav");
    std::filesystem::rename(songs.plain, song);
    PtyCli play("play " + Quote(song) + " " + Quote(dir.Path(name + ".mp3")));
    const std::string& out = play.ReadFor(20000);  // until it exits
    EXPECT_EQ(play.WaitForExit(1000), 1);
    EXPECT_TRUE(Has(out, "[1/2] x\\x0aINJECTED: \\x1b[31m\\x0d\\xff.wav\r\n")) << out;
    EXPECT_TRUE(Has(out, "x\\x0aINJECTED: \\x1b[31m\\x0d\\xff.mp3: no such file")) << out;
    EXPECT_FALSE(Has(out, "\x1b[31m")) << out;
    EXPECT_FALSE(Has(out, "\nINJECTED")) << out;
}

TEST(CliPlay, KeysActAtOnceAndTheClockStopsWithTheMusic) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    PtyCli play("play " + Quote(RepoPath("res/demo.mp3")));
    for (int i = 0; i < 100 && play.ReadFor(100).find("playing") == std::string::npos; ++i) {
    }
    ASSERT_NE(LastLine(play.ReadFor(1200)).find("playing"), std::string::npos) << play.ReadFor(0);

    play.Type("s");
    const std::string stopped = WaitForLine(play, [](auto& l) { return Has(l, "stopped"); });
    EXPECT_NE(stopped.find("stopped"), std::string::npos) << stopped;
    EXPECT_EQ(LastLine(play.ReadFor(2200)), stopped) << "the clock went on after s";

    play.Type("p");
    const std::string playing = WaitForLine(play, [](auto& l) { return Has(l, "playing"); });
    EXPECT_TRUE(Has(playing, "0:00 / 0:32  playing")) << playing;

    // Keys typed ahead are all taken at once: keys that do nothing, pause, resume, and quit.
    // Taken one a tick, the sixty would take four and a half seconds; a busy machine under a
    // sanitizer takes a fraction of the bound.
    const auto typed = std::chrono::steady_clock::now();
    play.Type(std::string(57, 'x') + "  q");
    EXPECT_EQ(play.WaitForExit(10000), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - typed, std::chrono::seconds(2));
}

// SIGINT and SIGTERM end the player at once, whatever plays, with the status a shell expects
// and the terminal as it was.
TEST(CliPlay, SignalsEndItCleanly) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    for (const int sig : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(sig);
        PtyCli play("play " + Quote(RepoPath("res/demo.mp3")));
        for (int i = 0; i < 100 && play.ReadFor(100).find("playing") == std::string::npos; ++i) {
        }
        ASSERT_NE(play.ReadFor(300).find("playing"), std::string::npos);
        const auto sent = std::chrono::steady_clock::now();
        kill(play.pid(), sig);
        // The song has half a minute to go: an end that waited for it shows.
        EXPECT_EQ(play.WaitForExit(10000), 128 + sig);
        EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(3));
        EXPECT_TRUE(play.TerminalEchoesLines());
    }
}

// Two songs in a terminal: the next and the previous, a seek and the volume, each on the
// progress line as the keys are typed.
TEST(CliPlay, QueueSeekAndVolumeFromTheKeyboard) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    TempDir dir;
    const PrivateHome home(dir.dir);  // the default volume
    const TwoSongs songs(dir);
    PtyCli play("play " + Quote(songs.plain) + " " + Quote(songs.tagged));
    std::string line = WaitForLine(play, [](auto& l) { return Has(l, "playing"); });
    EXPECT_TRUE(Has(line, "0:00 / 0:20  playing  volume 100%  song 1/2")) << line;

    play.Type("n");
    line = WaitForLine(play, [](auto& l) { return Has(l, "song 2/2"); });
    EXPECT_TRUE(Has(line, "0:00 / 0:20  playing")) << line;
    play.Type("b");  // within three seconds: the song before
    line = WaitForLine(play, [](auto& l) { return Has(l, "song 1/2"); });
    EXPECT_TRUE(Has(line, "song 1/2")) << line;
    play.Type("\x1b[C");  // Right
    line = WaitForLine(play, [](auto& l) { return l.rfind("0:05", 0) == 0; });
    EXPECT_EQ(line.rfind("0:05 / 0:20  playing", 0), 0u) << line;
    play.Type("\x1b[B");  // Down
    line = WaitForLine(play, [](auto& l) { return Has(l, "volume 95%"); });
    EXPECT_TRUE(Has(line, "volume 95%")) << line;
    play.Type("\x1b[A");  // Up
    line = WaitForLine(play, [](auto& l) { return Has(l, "volume 100%"); });
    EXPECT_TRUE(Has(line, "volume 100%")) << line;
    play.Type("q");
    EXPECT_EQ(play.WaitForExit(3000), 0);
    const Bytes saved = ReadFileBytes(dir.Path("config/zirvak/settings"));
    EXPECT_TRUE(Has(std::string(saved.begin(), saved.end()), "volume=100\n"));
}

// In 40 columns the parts of the progress line that do not fit are left out, and it follows
// the window as it is made wider and narrower; each song is named on a line of its own.
TEST(CliPlay, SongLinesAndAProgressLineWithinTheTerminal) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    TempDir dir;
    const PrivateHome home(dir.dir);  // the default volume
    const TwoSongs songs(dir);
    PtyCli play("play " + Quote(songs.plain) + " " + Quote(songs.tagged), 40);
    std::string line = WaitForLine(play, [](auto& l) { return Has(l, "playing"); });
    EXPECT_TRUE(Has(line, " / 0:20  playing  volume 100%")) << line;
    EXPECT_FALSE(Has(line, "song")) << line;
    play.Type("n");
    EXPECT_TRUE(WaitForOutput(play, "\x1b[K[2/2] Kelebek \u2013 Gece\r\n")) << play.ReadFor(0);
    EXPECT_TRUE(Has(play.ReadFor(300), "[1/2] a.wav\r\n"));
    ExpectWithin(play.ReadFor(0), 40);

    play.SetColumns(80);
    line = WaitForLine(play, [](auto& l) { return Has(l, "song 2/2"); });
    EXPECT_TRUE(Has(line, "  playing  volume 100%  song 2/2")) << line;
    play.SetColumns(20);
    line = WaitForLine(play, [](auto& l) { return Has(l, " / 0:20") && !Has(l, "playing"); });
    EXPECT_EQ(line.substr(line.find(' ')), " / 0:20") << line;
    const size_t narrowed = play.ReadFor(0).size();
    ExpectWithin(play.ReadFor(600).substr(narrowed), 20);
    play.Type("q");
    EXPECT_EQ(play.WaitForExit(3000), 0);
}

// Into a file: a line for each song and nothing else, no progress line redrawn ten times a
// second, no carriage return, no escape sequence.
TEST(CliPlay, RedirectedOutputIsTheSongLinesAlone) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    TempDir dir;
    const PrivateHome home(dir.dir);  // the default volume
    const TwoSongs songs(dir, 4000);  // half a second each
    Process play({ZIRVAK_CLI, "play", songs.plain, songs.tagged}, dir.Path("out"), dir.Path("err"));
    EXPECT_EQ(play.Wait(30000), 0);
    const Bytes out = ReadFileBytes(dir.Path("out")), err = ReadFileBytes(dir.Path("err"));
    EXPECT_EQ(std::string(out.begin(), out.end()), "[1/2] a.wav\n[2/2] Kelebek \u2013 Gece\n");
    EXPECT_EQ(std::string(err.begin(), err.end()), "");
}

// A playlist on the command line: its songs in its order, each untagged one by the title the
// list gives it (a tagged one by its tags), the entries left out each named on standard error,
// and the exit status saying not everything could be played.
TEST(CliPlay, APlaylistPlaysInItsOrderAndNamesWhatItLeavesOut) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    TempDir dir;
    const PrivateHome home(dir.dir);  // the default volume
    const TwoSongs songs(dir, 4000);
    const std::string text =
        "#EXTM3U\r\n#EXTINF:1,Not Gece\r\nb.wav\r\ngone.wav\r\n"
        "https://radio.example/live\r\n#EXTINF:1,Listed \x1b\r\n./a.wav\r\n";
    const std::string list = WriteBytes(dir.Path("mix.M3U"), Bytes(text.begin(), text.end()));
    Process play({ZIRVAK_CLI, "play", list}, dir.Path("out"), dir.Path("err"));
    EXPECT_EQ(play.Wait(30000), 1);
    const Bytes out = ReadFileBytes(dir.Path("out")), err = ReadFileBytes(dir.Path("err"));
    EXPECT_EQ(std::string(out.begin(), out.end()),
              "[1/2] Kelebek \u2013 Gece\n[2/2] Listed \\x1b\n");
    EXPECT_EQ(std::string(err.begin(), err.end()),
              "zirvak-cli: " + dir.Path("gone.wav") + ": no such file (listed in " + list +
                  ")\nzirvak-cli: https://radio.example/live: network streams are not supported "
                  "(listed in " +
                  list + ")\n");
}

// A library as a person keeps it: songs of every kind in folders, and playlists that reach
// them every way a playlist can (relative and absolute paths, Windows' separators and line
// ends, file: URLs, a folder, another playlist, itself). Each song plays once, in order.
TEST(CliPlay, PlaylistsBringSongsOfEveryKindFromAFolderTree) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    TempDir dir;
    const PrivateHome home(dir.dir);  // the default volume
    const Bytes wav = MakeWav({}, Pcm16Pattern(44100 / 4, 2));
    std::filesystem::create_directories(dir.Path("Album/CD 2"));
    std::filesystem::create_directories(dir.Path("Single"));
    std::filesystem::create_directories(dir.Path("lists"));
    const auto place = [&](const std::string& made, const std::string& as) {
        std::filesystem::rename(made, dir.Path(as));
    };
    place(EncodeFlac(dir, "one", wav), "Album/01 one.flac");
    place(EncodeVorbis(dir, "two", wav), "Album/02 two.ogg");
    place(EncodeOpus(dir, "three", wav), "Album/CD 2/03 three.opus");
    place(EncodeMp3(dir, "four", wav, "-b 128"), "Single/four.mp3");
    WriteBytes(dir.Path("Single/five.wav"), wav);
    const std::string more =
        "[playlist]\nFile1=../Album/CD 2\nFile2=" + dir.Path("Single/five.wav") +
        "\nNumberOfEntries=2\n";
    WriteBytes(dir.Path("lists/more.pls"), Bytes(more.begin(), more.end()));
    const std::string mix =
        "#EXTM3U\r\n#EXTINF:1,One\r\n..\\Album\\01 one.flac\r\n"
        "../Album/02 two.ogg\r\nmore.pls\r\nmix.m3u8\r\nfile://" +
        dir.Path("Single/four%2Emp3") + "\r\n";
    const std::string list = WriteBytes(dir.Path("lists/mix.m3u8"), Bytes(mix.begin(), mix.end()));
    Process play({ZIRVAK_CLI, "play", list}, dir.Path("out"), dir.Path("err"));
    EXPECT_EQ(play.Wait(30000), 0);
    const Bytes out = ReadFileBytes(dir.Path("out")), err = ReadFileBytes(dir.Path("err"));
    EXPECT_EQ(std::string(out.begin(), out.end()),
              "[1/5] One\n[2/5] 02 two.ogg\n[3/5] 03 three.opus\n[4/5] five.wav\n"
              "[5/5] four.mp3\n");
    EXPECT_EQ(std::string(err.begin(), err.end()), "");
}

}  // namespace
}  // namespace zirvak::test
