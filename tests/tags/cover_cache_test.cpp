// Covers written to the cache folder: named by their bytes, written once, whole or not at all.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "song_tags.h"
#include "tag_builder.h"

namespace zirvak::test {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for the life of the object, then puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

CoverArt Cover(const Bytes& data, const char* mimeType) {
    return {mimeType, data};
}

ino_t Inode(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

TEST(CoverCache, FolderFollowsTheEnvironment) {
    const struct {
        const char* cache;
        const char* home;
        const char* folder;
    } cases[] = {
        {"/x/cache", "/home/u", "/x/cache/zirvak/covers"},
        {nullptr, "/home/u", "/home/u/.cache/zirvak/covers"},
        {"relative/cache", "/home/u", "/home/u/.cache/zirvak/covers"},  // only absolute counts
        {"", "/home/u", "/home/u/.cache/zirvak/covers"},
        {nullptr, "relative", ""},
        {nullptr, nullptr, ""},
    };
    for (const auto& c : cases) {
        ScopedEnv cache("XDG_CACHE_HOME", c.cache), home("HOME", c.home);
        EXPECT_EQ(CoverCacheFolder(), c.folder)
            << (c.cache ? c.cache : "-") << " " << (c.home ? c.home : "-");
    }
}

// The name is the bytes' 64-bit FNV-1a hash (the published test values of "a" and "foobar").
TEST(CoverCache, NamedByTheHashOfItsBytesAndItsType) {
    TempDir dir;
    const struct {
        Bytes data;
        const char* mimeType;
        const char* name;
    } cases[] = {
        {{'a'}, "image/jpeg", "af63dc4c8601ec8c.jpg"},
        {{'f', 'o', 'o', 'b', 'a', 'r'}, "image/png", "85944171f73967e8.png"},
        {{'f', 'o', 'o', 'b', 'a', 'r'}, "image/gif", "85944171f73967e8.img"},
    };
    for (const auto& c : cases) {
        const std::string path = SaveCover(Cover(c.data, c.mimeType), dir.dir);
        EXPECT_EQ(path, dir.Path(c.name));
        EXPECT_TRUE(ReadFileBytes(path) == c.data);
    }
}

TEST(CoverCache, ACoverReadFromASongIsWrittenOnce) {
    TempDir dir;
    const Bytes jpeg = FakeJpeg(5000, 7);
    const std::string song =
        WriteBytes(dir.Path("song.mp3"),
                   Concat({Id3v2Tag({.version = 3}, {{"APIC", ApicBody("image/jpeg", 3, jpeg)}}),
                           DemoAudio(20)}));
    const CoverArt cover = ReadSongTags(song).cover;
    ASSERT_TRUE(cover.data == jpeg);

    // Into the cache folder the environment names, made with its parents.
    ScopedEnv cache("XDG_CACHE_HOME", dir.Path("cache").c_str());
    const std::string folder = CoverCacheFolder();
    ASSERT_EQ(folder, dir.Path("cache/zirvak/covers"));
    const std::string path = SaveCover(cover, folder);
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(fs::path(path).parent_path(), fs::path(folder));
    EXPECT_EQ(fs::path(path).extension(), ".jpg");
    EXPECT_TRUE(ReadFileBytes(path) == jpeg);

    // Saved again: the same file, left as it was (not written and renamed anew).
    const ino_t inode = Inode(path);
    EXPECT_EQ(SaveCover(ReadSongTags(song).cover, folder), path);
    EXPECT_EQ(Inode(path), inode);

    // A file of that name cut short (a crash of some other writer) is replaced whole.
    fs::resize_file(path, 100);
    EXPECT_EQ(SaveCover(cover, folder), path);
    EXPECT_TRUE(ReadFileBytes(path) == jpeg);

    // Only the covers are left in the folder: no temporary file.
    EXPECT_EQ(ListFiles(folder, "").size(), 1u);
    for (const auto& entry : fs::directory_iterator(folder))
        EXPECT_EQ(entry.path(), fs::path(path)) << "left behind";
}

TEST(CoverCache, NothingToWriteOrNowhereToWriteIt) {
    TempDir dir;
    const CoverArt cover = Cover(FakePng(100, 1), "image/png");
    const std::string file = WriteBytes(dir.Path("a-file"), Bytes{1});
    EXPECT_EQ(SaveCover(CoverArt{}, dir.dir), "");
    EXPECT_EQ(SaveCover(cover, ""), "");
    EXPECT_EQ(SaveCover(cover, file), "");           // a file where the folder should be
    EXPECT_EQ(SaveCover(cover, file + "/sub"), "");  // under a file
    ASSERT_EQ(chmod(dir.dir.c_str(), 0500), 0);
    if (access(dir.dir.c_str(), W_OK) != 0) {  // root writes anyway
        EXPECT_EQ(SaveCover(cover, dir.Path("covers")), "");
    }
    chmod(dir.dir.c_str(), 0700);
}

}  // namespace
}  // namespace zirvak::test
