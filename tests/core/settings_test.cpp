// The settings file: where it lives, what survives a round trip, and that nothing in it can
// make the player fail: every damaged value falls back to its default on its own.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "player_fixtures.h"
#include "settings.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

namespace fs = std::filesystem;

TEST(Settings, LivesInTheUsersConfigurationFolder) {
    const struct {
        const char *xdg, *home, *path;
    } cases[] = {
        {"/x/config", "/home/u", "/x/config/zirvak/settings"},
        {nullptr, "/home/u", "/home/u/.config/zirvak/settings"},
        {"", "/home/u", "/home/u/.config/zirvak/settings"},
        {"relative/config", "/home/u", "/home/u/.config/zirvak/settings"},
        {nullptr, nullptr, ""},
    };
    const std::string savedXdg = getenv("XDG_CONFIG_HOME") ? getenv("XDG_CONFIG_HOME") : "";
    const std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
    for (const auto& c : cases) {
        c.xdg ? setenv("XDG_CONFIG_HOME", c.xdg, 1) : unsetenv("XDG_CONFIG_HOME");
        c.home ? setenv("HOME", c.home, 1) : unsetenv("HOME");
        EXPECT_EQ(SettingsPath(), c.path) << (c.xdg ? c.xdg : "(unset)");
    }
    setenv("HOME", savedHome.c_str(), 1);
    savedXdg.empty() ? unsetenv("XDG_CONFIG_HOME") : setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
}

TEST(Settings, ARoundTripKeepsEveryValueAndCreatesTheFolder) {
    TempDir dir;
    const std::string path = dir.Path("a/b/zirvak/settings");
    EXPECT_EQ(LoadSettings(path).volumePercent, 100);  // no file yet: the defaults
    EXPECT_EQ(LoadSettings(path).zoom, 0);
    Settings s;
    s.volumePercent = 35, s.zoom = 3, s.lastFolder = "/music/an album";
    ASSERT_TRUE(SaveSettings(path, s));
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
              "volume=35\nzoom=3\nreplaygain=off\nreplaygain-preamp=0\nreplaygain-fallback=0\n"
              "replaygain-clipping=prevent\ngapless=on\nlast-folder=/music/an album\n");
    s.volumePercent = 0, s.zoom = 1, s.lastFolder = "/srv/music";
    s.replayGain = ReplayGainMode::kAuto;
    s.replayGainPreampDb = -2.5, s.replayGainFallbackDb = -7, s.replayGainPreventClipping = false;
    ASSERT_TRUE(SaveSettings(path, s));  // replaces the file
    const Settings back = LoadSettings(path);
    EXPECT_EQ(back.volumePercent, 0);
    EXPECT_EQ(back.zoom, 1);
    EXPECT_EQ(back.lastFolder, "/srv/music");
    EXPECT_EQ(back.replayGain, ReplayGainMode::kAuto);
    EXPECT_EQ(back.replayGainPreampDb, -2.5);
    EXPECT_EQ(back.replayGainFallbackDb, -7);
    EXPECT_FALSE(back.replayGainPreventClipping);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path("a/b/zirvak")), {}), 1);
}

TEST(Settings, EachDamagedValueFallsBackOnItsOwn) {
    using enum ReplayGainMode;
    const struct {
        std::string text;
        int volume, zoom;
        const char* folder;
        ReplayGainMode replayGain = kOff;
    } cases[] = {
        {"", 100, 0, ""},
        {"volume=55\nzoom=2\nlast-folder=/m\n", 55, 2, "/m"},
        {"replaygain=album\nzoom=2\n", 100, 2, "", kAlbum},
        {"replaygain=Album\nreplaygain=loud\n", 100, 0, ""},
        {"replaygain-preamp=20\nreplaygain-fallback=nan\nreplaygain-clipping=no\n", 100, 0, ""},
        {"volume=55\r\nzoom=2\r\n", 55, 2, ""},  // written on Windows
        {"volume=101\nzoom=5\n", 100, 0, ""},
        {"volume=-5\nzoom=-1\n", 100, 0, ""},
        {"volume=abc\nzoom=2x\nlast-folder=relative\n", 100, 0, ""},
        {"volume=5 \nzoom= 2\n", 100, 0, ""},
        {"volume=99999999999999999999\nzoom=4\n", 100, 4, ""},
        {"no equals sign\n=\nvolume\nzoom=3", 100, 3, ""},
        {std::string("volume=40\0zoom=2\n\xFF\xFE\x01", 20), 100, 0, ""},
    };
    TempDir dir;
    const std::string path = dir.Path("settings");
    for (const auto& c : cases) {
        WriteBytes(path, std::span(reinterpret_cast<const uint8_t*>(c.text.data()), c.text.size()));
        const Settings s = LoadSettings(path);
        EXPECT_EQ(s.volumePercent, c.volume) << c.text;
        EXPECT_EQ(s.zoom, c.zoom) << c.text;
        EXPECT_EQ(s.lastFolder, c.folder) << c.text;
        EXPECT_EQ(s.replayGain, c.replayGain) << c.text;
        EXPECT_EQ(s.replayGainPreampDb, 0) << c.text;  // out of range or unreadable: the default
        EXPECT_EQ(s.replayGainFallbackDb, 0) << c.text;
        EXPECT_TRUE(s.replayGainPreventClipping) << c.text;
    }
}

TEST(Settings, UnreadableOrUnwritablePlacesMeanDefaultsAndFalse) {
    TempDir dir;
    // A folder where the file should be, a file far too long to be ours, no path at all.
    fs::create_directories(dir.Path("folder"));
    std::string huge(100000, '\n');
    huge.replace(0, 10, "volume=10\n");
    const std::string hugePath = WriteBytes(
        dir.Path("huge"), std::span(reinterpret_cast<const uint8_t*>(huge.data()), huge.size()));
    for (const std::string& path : {dir.Path("folder"), hugePath, std::string()})
        EXPECT_EQ(LoadSettings(path).volumePercent, 100) << path;
    // A file where its folder should be: nothing written, nothing left behind.
    WriteBytes(dir.Path("blocker"), Bytes{1});
    EXPECT_FALSE(SaveSettings(dir.Path("blocker/settings"), Settings{}));
    EXPECT_FALSE(SaveSettings(dir.Path("folder"), Settings{}));  // a folder in the way
    EXPECT_FALSE(SaveSettings("", Settings{}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.dir), {}), 3);  // no temporary file left
}

// Another user's program may plant things where the settings are written: at the file's own
// name, or at a name a writer could guess for its temporary file. Nothing planted is written
// through or waited on, and the settings end up as a private file of their own.
TEST(Settings, NothingPlantedIsFollowedOrWaitedOn) {
    TempDir dir;
    const std::string path = dir.Path("settings");
    const std::string guessed = path + ".new-" + std::to_string(getpid());
    const std::string victim = WriteBytes(dir.Path("victim"), Bytes{'m', 'i', 'n', 'e'});
    const std::string plants[] = {"symlink beside", "fifo beside", "symlink at the file",
                                  "fifo at the file"};
    for (const std::string& plant : plants) {
        SCOPED_TRACE(plant);
        fs::remove(path), fs::remove(guessed);
        if (plant == "symlink beside") fs::create_symlink(victim, guessed);
        if (plant == "fifo beside") {
            ASSERT_EQ(mkfifo(guessed.c_str(), 0600), 0);
        }
        if (plant == "symlink at the file") fs::create_symlink(victim, path);
        if (plant == "fifo at the file") {
            ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
            ASSERT_TRUE(FinishesDespiteFifo([&] { LoadSettings(path); }, path));
        }
        Settings s;
        s.volumePercent = 35;
        bool saved = false;
        ASSERT_TRUE(FinishesDespiteFifo([&] { saved = SaveSettings(path, s); }, guessed));
        EXPECT_TRUE(saved);
        EXPECT_TRUE(ReadFileBytes(victim) == (Bytes{'m', 'i', 'n', 'e'}));
        struct stat info {};
        ASSERT_EQ(lstat(path.c_str(), &info), 0);
        EXPECT_TRUE(S_ISREG(info.st_mode));
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        EXPECT_EQ(LoadSettings(path).volumePercent, 35);
        // Only what was planted is left beside the settings: no temporary file of ours.
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.dir), {}),
                  plant.ends_with("at the file") ? 2 : 3);
    }
}

}  // namespace
}  // namespace zirvak::test
