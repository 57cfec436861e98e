// What a list of paths puts in the queue: natural order, folders searched through, the odd
// things a folder can hold left out, and playlists read as the programs that write them write
// them.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "player_fixtures.h"
#include "playlist_files.h"

namespace zirvak::test {
namespace {

namespace fs = std::filesystem;

TEST(PlaylistFiles, NaturalOrder) {
    // Each name sorts before the next.
    const std::vector<std::string> ordered = {
        "",         "01 intro.mp3", "1 Intro.mp3", "2 b.mp3",
        "10 a.mp3", "100.mp3",      "a.mp3",       "B.mp3",
        "b.mp3",    "CD 1/9.mp3",   "CD 2/1.mp3",  "CD 10/1.mp3",
        "track 2",  "Track 02b",    "track 10",    "track 9999999999999999999999 x",
        "z",
    };
    for (size_t i = 0; i < ordered.size(); ++i)
        for (size_t j = 0; j < ordered.size(); ++j)
            EXPECT_EQ(NaturalLess(ordered[i], ordered[j]), i < j)
                << '"' << ordered[i] << "\" vs \"" << ordered[j] << '"';
}

TEST(PlaylistFiles, PlayableExtensionsInAnyCase) {
    for (const char* name : {"a.mp3", "a.MP3", "b/c.Mp2", "x.mp1", "y.WAV", ".mp3", "a.FLAC",
                             "a.ogg", "a.Oga", "a.opus"})
        EXPECT_TRUE(HasPlayableExtension(name)) << name;
    for (const char* name :
         {"a.m3u", "mp3", "a.mp3.txt", "a.mp3/b", "a.mp", "a.wave", "a.fla", "a.ogv", ""})
        EXPECT_FALSE(HasPlayableExtension(name)) << name;
    // The Open dialog's patterns are built from the same lists.
    EXPECT_EQ(AnyCasePattern("m3u8"), "*.[mM]3[uU]8");
}

TEST(PlaylistFiles, FoldersBecomeTheirPlayableFilesInNaturalOrder) {
    TempDir dir;
    const std::string album = dir.Path("album");
    for (const char* name : {"10 ten.mp3", "2 two.MP3", "cover.jpg", "notes.txt", ".hidden.mp3",
                             "CD 10/1.wav", "CD 2/1.mp2", "CD 2/2.mp3", ".git/x.mp3", "empty/",
                             "3 three.flac", "4 four.Opus", "5 five.ogg", "video.ogv"}) {
        const fs::path p = fs::path(album) / name;
        fs::create_directories(std::string(name).back() == '/' ? p : p.parent_path());
        if (std::string(name).back() != '/') WriteBytes(p.string(), Bytes{0});
    }
    // A link back up would loop for ever; a link to a file is followed.
    fs::create_directory_symlink(album, album + "/CD 2/loop");
    const std::string single = WriteBytes(dir.Path("single.txt"), Bytes{0});
    const ExpandedPaths got =
        ExpandPaths({single, album, dir.Path("missing.mp3"), album + "/CD 2"});
    const std::vector<std::string> want = {
        single,  // named directly: kept, whatever its extension
        album + "/2 two.MP3",
        album + "/3 three.flac",
        album + "/4 four.Opus",
        album + "/5 five.ogg",
        album + "/10 ten.mp3",
        album + "/CD 2/1.mp2",
        album + "/CD 2/2.mp3",
        album + "/CD 10/1.wav",
        dir.Path("missing.mp3"),  // kept, so opening it says why
    };
    EXPECT_EQ(got.files, want);
    EXPECT_TRUE(got.skipped.empty());
}

TEST(PlaylistFiles, PlaylistExtensionsInAnyCase) {
    for (const char* name : {"a.m3u", "A.M3U8", "b/c.Pls", "x.m3U8", ".pls"})
        EXPECT_TRUE(HasPlaylistExtension(name)) << name;
    for (const char* name : {"a.m3", "m3u", "a.m3u.txt", "a.m3u/b", "a.mp3", "a.pls8", ""})
        EXPECT_FALSE(HasPlaylistExtension(name)) << name;
}

using Reason = SkippedEntry::Reason;

// A music folder for playlists to name: names in Latin-1 and with spaces among them.
class PlaylistTree : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name :
             {"a.mp3", "caf\xE9.mp3", "with space.mp3", "sub/b.wav", "sub/c.mp3", "album/10.mp3",
              "album/2.mp3", "d\xFCr/e.mp2", "back\\slash.mp3"}) {
            const fs::path p = fs::path(Music(name));
            fs::create_directories(p.parent_path());
            WriteBytes(p.string(), Bytes{0});
        }
    }
    std::string Music(const std::string& name) const { return dir.Path("music/" + name); }
    // Writes playlist `name` under music/, "{dir}" in `text` standing for the test's folder.
    std::string List(const std::string& name, std::string text) const {
        for (size_t at; (at = text.find("{dir}")) != std::string::npos;)
            text.replace(at, 5, dir.dir);
        return WriteBytes(Music(name), Bytes(text.begin(), text.end()));
    }
    TempDir dir;
};

struct Skipped {
    std::string entry;  // under music/, or as written for a URL
    Reason reason;
};

struct PlaylistCase {
    const char* what;
    std::vector<std::pair<std::string, std::string>> lists;  // name and text; the first is opened
    std::vector<std::string> files;                          // under music/
    std::vector<Skipped> skipped;                            // listed by the first playlist
    std::map<std::string, std::string> titles;               // under music/, as listed
};

TEST_F(PlaylistTree, EachKindOfPlaylistGivesTheFilesItListsInItsOrder) {
    const std::string bom = "\xEF\xBB\xBF";
    const PlaylistCase cases[] = {
        {"extended M3U with CRLF lines, titles, comments, relative and absolute paths",
         {{"list.m3u",
           "#EXTM3U\r\n#EXTINF:61,Artist - C\r\nsub/c.mp3\r\n\r\n# a comment\r\n"
           "  a.mp3  \r\n#EXTINF:-1,B\r\n{dir}/music/sub/b.wav\r\n"}},
         {"sub/c.mp3", "a.mp3", "sub/b.wav"},
         {},
         {{"sub/c.mp3", "Artist - C"}, {"sub/b.wav", "B"}}},
        {"M3U8 with a byte order mark, bare CR lines and names in any encoding",
         {{"list.m3u8", bom + "caf\xE9.mp3\rwith space.mp3\rd\xFCr/e.mp2"}},
         {"caf\xE9.mp3", "with space.mp3", "d\xFCr/e.mp2"},
         {},
         {}},
        {"Windows separators; a name that holds a backslash on Linux wins",
         {{"LIST.M3U", "sub\\b.wav\n..\\music\\sub\\c.mp3\nback\\slash.mp3\n"}},
         {"sub/b.wav", "../music/sub/c.mp3", "back\\slash.mp3"},
         {},
         {}},
        {"file URLs with percent-escapes, with and without a host",
         {{"urls.m3u",
           "file://{dir}/music/caf%E9.mp3\nFILE://localhost{dir}/music/with%20space.mp3\n"
           "file://elsewhere/music/a.mp3\n"}},
         {"caf\xE9.mp3", "with space.mp3"},
         {{"file://elsewhere/music/a.mp3", Reason::kMissing}},
         {}},
        {"PLS in the order of its numbers, keys in any case, CRLF",
         {{"radio.pls",
           "[playlist]\r\nFile2=sub/b.wav\r\nTitle2=B\r\nLength2=3\r\n"
           "file1=a.mp3\r\nFile10 = sub\\c.mp3\r\nFileX=x.mp3\r\nFile3=\r\n"
           "NumberOfEntries=3\r\nVersion=2\r\n"}},
         {"a.mp3", "sub/b.wav", "sub/c.mp3"},
         {},
         {{"sub/b.wav", "B"}}},
        {"playlists and folders listed are expanded where they stand",
         {{"outer.m3u", "a.mp3\ninner.pls\nalbum\n../music/sub/\n"},
          {"inner.pls", "[playlist]\nFile1=sub/c.mp3\nFile2=d\xFCr/deep.m3u8\n"},
          {"d\xFCr/deep.m3u8", "../with space.mp3\n"}},
         {"a.mp3", "sub/c.mp3", "d\xFCr/../with space.mp3", "album/2.mp3", "album/10.mp3",
          "../music/sub/b.wav", "../music/sub/c.mp3"},
         {},
         {}},
        {"a playlist that lists itself, directly or through another, is read once",
         {{"self.m3u", "a.mp3\nself.m3u\nother.M3U8\n./self.m3u\n"},
          {"other.M3U8", "sub/b.wav\nself.m3u\n{dir}/music/other.M3U8\n"}},
         {"a.mp3", "sub/b.wav"},
         {},
         {}},
        {"missing entries and network streams are left out, named",
         {{"gaps.m3u",
           "gone.mp3\nhttp://radio.example/live\na.mp3\nHTTPS://x.example/y.mp3\n"
           "sub/gone/\nrtsp://cam.example/1\nC:\\Music\\gone.mp3\n"}},
         {"a.mp3"},
         {{"gone.mp3", Reason::kMissing},
          {"http://radio.example/live", Reason::kNetworkStream},
          {"HTTPS://x.example/y.mp3", Reason::kNetworkStream},
          {"sub/gone/", Reason::kMissing},
          {"rtsp://cam.example/1", Reason::kNetworkStream},
          {"C:/Music/gone.mp3", Reason::kMissing}},
         {}},
        {"lines holding a NUL are not entries",
         {{"binary.m3u",
           std::string("\x01\x02\0\xFF\n", 5) + "a.mp3\n" + std::string("sub/b.wav\0junk\n", 15)}},
         {"a.mp3"},
         {},
         {}},
        {"titles: the first comma outside quotes ends the attributes; one before a folder, a "
         "playlist or a missing file, or a PLS title without its file, names nothing",
         {{"titled.m3u",
           "#EXTINF:-1 tvg-name=\"x, y\" group=\"a,b\",  Song, with comma  \nsub/c.mp3\n"
           "#EXTINF:10,Album\nalbum\n#extinf:5,Gone\ngone.mp3\n#EXTINF:5,Inner\ninner.pls\n"
           "#EXTINF:7\na.mp3\n#EXTINF:3,First\n# between\nwith space.mp3\nsub/c.mp3\n"},
          {"inner.pls", "[playlist]\nTitle1=Named\nFile1=sub/b.wav\nTitle9=Nothing\n"}},
         {"sub/c.mp3", "album/2.mp3", "album/10.mp3", "sub/b.wav", "a.mp3", "with space.mp3",
          "sub/c.mp3"},
         {{"gone.mp3", Reason::kMissing}},
         {{"sub/c.mp3", "Song, with comma"}, {"sub/b.wav", "Named"}, {"with space.mp3", "First"}}},
    };
    for (const PlaylistCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> paths;
        for (const auto& [name, text] : c.lists) paths.push_back(List(name, text));
        const ExpandedPaths got = ExpandPaths({paths.front()});
        std::vector<std::string> want;
        for (const std::string& name : c.files) want.push_back(Music(name));
        EXPECT_EQ(got.files, want);
        std::map<std::string, std::string> titles;
        for (const auto& [name, title] : c.titles) titles.emplace(Music(name), title);
        EXPECT_EQ(got.titles, titles);
        std::vector<Skipped> skipped;
        for (const SkippedEntry& s : got.skipped) {
            EXPECT_EQ(s.playlist, paths.front()) << s.entry;
            std::string entry = s.entry;
            if (entry.rfind(Music(""), 0) == 0) entry.erase(0, Music("").size());
            skipped.push_back({entry, s.reason});
        }
        EXPECT_EQ(skipped.size(), c.skipped.size());
        for (size_t i = 0; i < std::min(skipped.size(), c.skipped.size()); ++i) {
            EXPECT_EQ(skipped[i].entry, c.skipped[i].entry);
            EXPECT_EQ(skipped[i].reason, c.skipped[i].reason) << skipped[i].entry;
        }
    }
}

// Named directly, a playlist is read whatever the current folder; one that is not there, not a
// file or not readable stays, so opening it says why, and nothing waits on a pipe.
TEST_F(PlaylistTree, PlaylistsNamedDirectlyAndOnesThatCannotBeRead) {
    const std::string list = List("list.m3u", "a.mp3\n");
    const std::string fifo = Music("pipe.m3u");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = Music("folder.pls");
    fs::create_directory(folder);
    WriteBytes(folder + "/f.mp3", Bytes{0});
    const std::string missing = Music("missing.m3u");
    const std::string locked = List("locked.pls", "[playlist]\nFile1=a.mp3\n");
    chmod(locked.c_str(), 0);
    const bool rootReads = access(locked.c_str(), R_OK) == 0;
    const ExpandedPaths got = ExpandPaths({list, fifo, folder, missing, locked, list});
    std::vector<std::string> want = {Music("a.mp3"), fifo, folder + "/f.mp3", missing};
    want.push_back(rootReads ? Music("a.mp3") : locked);
    EXPECT_EQ(got.files, want);  // the second `list` was read already
    EXPECT_TRUE(got.skipped.empty());
}

// A large or binary file given a playlist's name is read up to a bound, quickly, and a long
// chain of playlists up to a depth.
TEST_F(PlaylistTree, HugePlaylistsAndLongChainsAreReadOnlyInPart) {
    std::string text;
    while (text.size() < (size_t(6) << 20)) text += "a.mp3\n";
    const size_t linesRead = (size_t(4) << 20) / 6;
    text.insert(linesRead * 6, "sub/b.wav\n");  // beyond the bound, cut in two
    const std::string huge = List("huge.m3u", text);
    std::string noise(size_t(8) << 20, '\0');
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = char((i * 2654435761u) >> 13);
    const std::string binary = List("noise.m3u", noise);
    const auto start = std::chrono::steady_clock::now();
    const ExpandedPaths got = ExpandPaths({huge});
    EXPECT_EQ(got.files.size(), linesRead);
    EXPECT_EQ(std::count(got.files.begin(), got.files.end(), Music("a.mp3")),
              std::ptrdiff_t(got.files.size()));
    const ExpandedPaths fromNoise = ExpandPaths({binary});
    EXPECT_LT(fromNoise.files.size() + fromNoise.skipped.size(), size_t(100000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));

    for (int i = 0; i < 40; ++i)
        List("chain " + std::to_string(i) + ".m3u",
             "a.mp3\nchain " + std::to_string(i + 1) + ".m3u\n");
    std::vector<std::string> want(32, Music("a.mp3"));
    want.push_back(Music("chain 32.m3u"));  // too deep: opening it says it is no song
    EXPECT_EQ(ExpandPaths({Music("chain 0.m3u")}).files, want);
}

}  // namespace
}  // namespace zirvak::test
