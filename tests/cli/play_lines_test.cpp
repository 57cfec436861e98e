// The lines the terminal player writes, on their own: the song's line, and the progress line
// fitted to each width.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "play_lines.h"
#include "raw_terminal.h"

namespace zirvak::cli {
namespace {

TEST(CliPlayLines, ProgressLineGivesWayFromTheEndAndKeepsTheLastColumnFree) {
    const std::string parts[] = {"1:02 / 3:40", "playing", "volume 80%", "song 2/5"};
    const std::string full = "1:02 / 3:40  playing  volume 80%  song 2/5";  // 42 columns
    const std::string star = "  \x1b[1;33m*\x1b[0m";
    const struct {
        size_t columns;
        bool beat;
        std::string line;
    } cases[] = {
        {80, true, full + star},
        {80, false, full + "   "},
        {46, true, full + star},  // 45 columns with the mark
        {45, true, full},         // the mark would take the last column
        {43, false, full},
        {42, false, "1:02 / 3:40  playing  volume 80%"},
        {40, false, "1:02 / 3:40  playing  volume 80%"},
        {21, false, "1:02 / 3:40  playing"},
        {20, false, "1:02 / 3:40"},
        {12, false, "1:02 / 3:40"},
        {11, false, "1:02 / 3:4"},  // the time alone, cut
        {2, false, "1"},
        {1, false, ""},
        {0, true, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgressLine(parts, c.beat, c.columns), c.line) << c.columns;
}

TEST(CliPlayLines, SongLineIsThePlaceThenArtistAndTitleOrTheFileName) {
    SongTags both, titleOnly, artistOnly;
    both.title = titleOnly.title = "Gece";
    both.artist = artistOnly.artist = "Kelebek";
    SongTags strange;
    strange.artist = "A\rB";
    strange.title = "T\x1b[2J";
    const struct {
        const SongTags& tags;
        std::string path, line;
    } cases[] = {
        {both, "/music/01.mp3", "[2/5] Kelebek \u2013 Gece"},
        {titleOnly, "/music/01.mp3", "[2/5] Gece"},
        {artistOnly, "/music/01.mp3", "[2/5] Kelebek \u2013 01.mp3"},
        {SongTags{}, "/music/song.mp3", "[2/5] song.mp3"},
        {SongTags{}, "relative.wav", "[2/5] relative.wav"},
        // A name is bytes: what a terminal would act on is shown instead.
        {SongTags{}, "/music/a\nb\x1b[2J\xe9.mp3", "[2/5] a\\x0ab\\x1b[2J\\xe9.mp3"},
        {strange, "/music/01.mp3",
         "[2/5] A\\x0dB \u2013 T\\x1b[2J"},  // and tags are text from outside
    };
    for (const auto& c : cases)
        EXPECT_EQ(SongLine(2, 5, SongInfo{c.path, c.tags, {}, 1.0, {}}), c.line) << c.path;
    // A playlist's title stands for the file's name, never for the tags' title.
    EXPECT_EQ(SongLine(2, 5, SongInfo{"/m/01.mp3", {}, {}, 1.0, "Listed\x1b"}),
              "[2/5] Listed\\x1b");
    EXPECT_EQ(SongLine(2, 5, SongInfo{"/m/01.mp3", artistOnly, {}, 1.0, "Listed"}),
              "[2/5] Kelebek \u2013 Listed");
    EXPECT_EQ(SongLine(2, 5, SongInfo{"/m/01.mp3", strange, {}, 1.0, "Listed"}),
              "[2/5] A\\x0dB \u2013 T\\x1b[2J");
}

}  // namespace
}  // namespace zirvak::cli

namespace zirvak::cli {
namespace {

// Waiting for a key returns at the tick, never before it: a wait cut short would spin.
TEST(CliTerminalKeys, AWaitForAKeyLastsUntilItsDeadline) {
    const RawTerminal terminal;  // not a terminal here: no key can come
    for (const int micros : {300, 999, 1000, 1500, 7000}) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::microseconds(micros);
        EXPECT_EQ(terminal.WaitForKey(deadline).key, Key::None);
        EXPECT_GE(std::chrono::steady_clock::now(), deadline) << micros << " µs";
    }
}

}  // namespace
}  // namespace zirvak::cli
