// What a list of paths puts in the queue: natural order, folders searched through, the odd
// things a folder can hold left out.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
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
    for (const char* name : {"a.mp3", "a.MP3", "b/c.Mp2", "x.mp1", "y.WAV", ".mp3"})
        EXPECT_TRUE(HasPlayableExtension(name)) << name;
    for (const char* name : {"a.ogg", "mp3", "a.mp3.txt", "a.mp3/b", "a.mp", "a.wave", ""})
        EXPECT_FALSE(HasPlayableExtension(name)) << name;
}

TEST(PlaylistFiles, FoldersBecomeTheirPlayableFilesInNaturalOrder) {
    TempDir dir;
    const std::string album = dir.Path("album");
    for (const char* name : {"10 ten.mp3", "2 two.MP3", "cover.jpg", "notes.txt", ".hidden.mp3",
                             "CD 10/1.wav", "CD 2/1.mp2", "CD 2/2.mp3", ".git/x.mp3", "empty/"}) {
        const fs::path p = fs::path(album) / name;
        fs::create_directories(std::string(name).back() == '/' ? p : p.parent_path());
        if (std::string(name).back() != '/') WriteBytes(p.string(), Bytes{0});
    }
    // A link back up would loop for ever; a link to a file is followed.
    fs::create_directory_symlink(album, album + "/CD 2/loop");
    const std::string single = WriteBytes(dir.Path("single.ogg"), Bytes{0});
    const std::vector<std::string> got =
        ExpandPaths({single, album, dir.Path("missing.mp3"), album + "/CD 2"});
    const std::vector<std::string> want = {
        single,  // named directly: kept, whatever its extension
        album + "/2 two.MP3",
        album + "/10 ten.mp3",
        album + "/CD 2/1.mp2",
        album + "/CD 2/2.mp3",
        album + "/CD 10/1.wav",
        dir.Path("missing.mp3"),  // kept, so opening it says why
    };
    EXPECT_EQ(got, want);
}

}  // namespace
}  // namespace zirvak::test
