// Sound that never breaks up on a busy machine: the window, shown on a real X server with a
// window manager, and the terminal player each play 40 s of real music through a sound server of
// the test's own (PulseAudio, and PipeWire through its PulseAudio server and through SDL's own
// PipeWire output), all at once, while a busy loop per core runs beside them at nice 10, as a
// compile or a browser would. Each sink is recorded and compared sample by sample with the
// decode: no run of silence of 2 ms or more inside the music. Three runs in a row.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "heard_music.h"
#include "player_fixtures.h"
#include "private_sound_server.h"
#include "support/fixtures.h"
#include "support/wait_for.h"
#include "x_display.h"

namespace zirvak::test {
namespace {

constexpr long kMusicFrames = 40 * kRate;
constexpr long kShortestDropout = kRate / 500;  // 2 ms
constexpr int kRuns = 3;

// The demo song over and over to 40 s, every other time with its sides swapped and every third
// turned over, so that no stretch of it is found at two places.
Bytes FortySecondsOfMusic(const TempDir& dir) {
    const Samples demo = AsStereo(Decode(dir, RepoPath("res/demo.mp3")));
    Samples music;
    for (long f = 0, turn = 0; Frames(music) < kMusicFrames; ++turn) {
        for (long i = 0; i < Frames(demo) && Frames(music) < kMusicFrames; ++i, ++f) {
            int16_t left = demo[size_t(2 * i)], right = demo[size_t(2 * i + 1)];
            if (turn % 2 == 1) std::swap(left, right);
            if (turn % 3 == 2) left = int16_t(-std::max<int>(left, -32767));
            music.insert(music.end(), {left, right});
        }
    }
    return Bytes(reinterpret_cast<const uint8_t*>(music.data()),
                 reinterpret_cast<const uint8_t*>(music.data() + music.size()));
}

// One player through one server of its own, and the sink's recording.
struct Listener {
    Listener(ServerKind serverKind, bool inWindow)
        : kind(serverKind), window(inWindow), server(dir, serverKind) {}
    std::string Name() const {
        return std::string(window ? "window" : "terminal") + " through " + KindName(kind);
    }
    std::string Recording() const { return dir.Path("heard.raw"); }
    // Frames of the recording from its first sound on.
    long Heard() const {
        const Samples heard = AsStereo(ReadFileBytes(Recording()));
        return Frames(heard) - FirstSound(heard);
    }

    ServerKind kind;
    bool window;
    TempDir dir;
    PrivateServer server;
    std::unique_ptr<Process> recorder, player;
};

class Dropouts : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(XDisplay::Problem(), "");
        for (ServerKind kind :
             {ServerKind::kPulseAudio, ServerKind::kPipeWirePulse, ServerKind::kPipeWire}) {
            if (const std::string missing = MissingPrograms(kind); !missing.empty()) {
                if (RunningInCi()) FAIL() << missing;
                GTEST_SKIP() << missing;
            }
            for (bool window : {true, false}) {
                listeners.push_back(std::make_unique<Listener>(kind, window));
                ASSERT_EQ(listeners.back()->server.Start(), "") << listeners.back()->Name();
            }
        }
        music = FortySecondsOfMusic(dir);
        song = EncodeFlac(dir, "music", MakeWav({}, music));
        // Every core busy, below the players, as a compile runs beside a desktop.
        for (long core = 0; core < sysconf(_SC_NPROCESSORS_ONLN); ++core)
            busy.push_back(std::make_unique<Process>(
                std::vector<std::string>{"nice", "-n", "10", "sh", "-c", "while :; do :; done"}, "",
                ""));
    }

    // Plays the song through every listener at once and checks what each sink heard.
    void PlayAndListen(int run) {
        for (auto& l : listeners) {
            std::filesystem::remove(l->Recording());
            l->recorder = Record(l->server, l->Recording());
            // Each with a settings folder of its own, where nothing says where it stopped last.
            const std::string settings =
                "XDG_CONFIG_HOME=" + l->dir.Path("settings-" + std::to_string(run));
            std::vector<std::string> argv = {"env", settings};
            if (l->window)
                argv.insert(argv.end(), {ZIRVAK_APP, song});
            else
                argv.insert(argv.end(), {ZIRVAK_CLI, "play", song});
            l->player = std::make_unique<Process>(l->server.PlayerCommand(argv), "",
                                                  l->dir.Path("player.err"));
        }
        for (auto& l : listeners)
            ASSERT_TRUE(WaitFor([&] { return l->Heard() >= kMusicFrames; },
                                kStepWithin + std::chrono::seconds(40), kLookEvery))
                << l->Name() << ": " << ReadFileText(l->dir.Path("player.err"));
        for (auto& l : listeners) {
            if (l->window) l->player->Signal(SIGTERM);
            EXPECT_NE(l->player->Wait(60000), -1) << l->Name();
            StopRecording(*l->recorder, l->Recording());
            l->recorder.reset();
        }
        const Samples expected = AsStereo(music);
        for (auto& l : listeners) {
            const Samples heard = AsStereo(ReadFileBytes(l->Recording()));
            const std::optional<Place> place = PlaceInSong(heard, expected, kRate);
            ASSERT_TRUE(place.has_value()) << l->Name() << ": the music is not in the recording";
            const Followed followed = Follow(heard, expected, *place, kRate);
            long dropouts = 0;
            for (const Gap& gap : followed.gaps) {
                std::printf("run %d, %s: %.1f ms of silence at %.3f s\n", run + 1,
                            l->Name().c_str(), gap.frames * 1000.0 / kRate,
                            double(gap.songFrame) / kRate);
                if (gap.frames >= kShortestDropout) ++dropouts;
            }
            EXPECT_EQ(dropouts, 0) << l->Name() << ", run " << run + 1;
            EXPECT_LE(place->start, FirstSound(expected) + kRate / 10) << l->Name();
            EXPECT_EQ(followed.to, Frames(expected)) << l->Name() << ", run " << run + 1;
        }
    }

    TempDir dir;
    std::vector<std::unique_ptr<Listener>> listeners;
    Bytes music;
    std::string song;
    std::vector<std::unique_ptr<Process>> busy;
};

TEST_F(Dropouts, NoneOnABusyMachineThreeRunsInARow) {
    for (int run = 0; run < kRuns; ++run) {
        PlayAndListen(run);
        if (HasFatalFailure()) return;
    }
}

}  // namespace
}  // namespace zirvak::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new zirvak::test::XDisplay(1280, 1024));
    return RUN_ALL_TESTS();
}
