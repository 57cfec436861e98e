// Covers written to the cache folder: named by their bytes, written once, whole or not at all.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "cover_cache.h"
#include "file_tags.h"
#include "support/fixtures.h"
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

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
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
    const CoverArt cover = ReadTagsOf(song).cover;
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
    EXPECT_EQ(SaveCover(ReadTagsOf(song).cover, folder), path);
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

// Whatever stands at a cover's name and is not that very picture is never handed out nor
// written through: a symlink to a file of the user's (of the same size as the cover), a file of
// the same size with other bytes, a FIFO. The picture is written afresh in its place.
TEST(CoverCache, OnlyTheCoverItselfIsHandedOut) {
    TempDir dir;
    const Bytes picture = FakeJpeg(3000, 5);
    Bytes other = picture;
    other[1000] ^= 0xFF;
    const std::string victim = WriteBytes(dir.Path("victim"), other);
    const std::string folder = dir.Path("covers");
    const std::string path = SaveCover(Cover(picture, "image/jpeg"), folder);
    ASSERT_FALSE(path.empty());
    for (const std::string plant : {"symlink", "substitute", "fifo"}) {
        SCOPED_TRACE(plant);
        fs::remove(path);
        if (plant == "symlink") fs::create_symlink(victim, path);
        if (plant == "substitute") WriteBytes(path, other);
        if (plant == "fifo") {
            ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
        }
        std::string saved;
        ASSERT_TRUE(FinishesDespiteFifo(
            [&] { saved = SaveCover(Cover(picture, "image/jpeg"), folder); }, path));
        EXPECT_EQ(saved, path);
        EXPECT_TRUE(IsRegularFile(path));
        EXPECT_TRUE(ReadFileBytes(path) == picture);
        EXPECT_TRUE(ReadFileBytes(victim) == other);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1);
}

// A cover folder that is a symlink leads nowhere we write: it is replaced by a private folder
// of our own. One that belongs to another user is not written into at all.
TEST(CoverCache, OnlyOurOwnFolderIsWrittenInto) {
    TempDir dir;
    const CoverArt cover = Cover(FakePng(200, 3), "image/png");
    const std::string elsewhere = dir.Path("elsewhere");
    fs::create_directories(elsewhere);
    const std::string folder = dir.Path("cache/covers");
    fs::create_directories(dir.Path("cache"));
    fs::create_symlink(elsewhere, folder);
    const std::string path = SaveCover(cover, folder);
    EXPECT_EQ(path, folder + "/" + fs::path(path).filename().string());
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(folder)));
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_TRUE(IsRegularFile(path));
    EXPECT_TRUE(fs::is_empty(elsewhere));

    // Only root can give a folder away; for others the check of the owner cannot be shown.
    const std::string given = dir.Path("given");
    fs::create_directories(given);
    if (geteuid() == 0 && chown(given.c_str(), 65534, 65534) == 0) {
        EXPECT_EQ(SaveCover(cover, given), "");
        EXPECT_TRUE(fs::is_empty(given));
    }
}

}  // namespace
}  // namespace zirvak::test
