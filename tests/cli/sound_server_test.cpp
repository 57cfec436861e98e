// zirvak-cli play through a real sound server: a private PulseAudio of the test's own with a null
// sink, whose monitor is recorded by parec. What is heard is the decoded song, sample for sample;
// when the server is killed mid-song the player says so, and once a server is back the song goes
// on from where it was. Under CI=true a server that does not start fails the test.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <thread>

#include "cli_runner.h"
#include "player_fixtures.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

using Samples = std::vector<int16_t>;  // interleaved stereo
constexpr long kRate = 44100;
constexpr long kBufferFrames = 64 * 1152;  // one output buffer of the engine

Samples AsStereo(const Bytes& bytes) {
    Samples s(bytes.size() / 4 * 2);
    std::memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
}

std::string Text(const std::string& path) {
    const Bytes bytes = ReadFileBytes(path);
    return {bytes.begin(), bytes.end()};
}

long Frames(const Samples& s) {
    return long(s.size() / 2);
}

bool RunningInCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

// A PulseAudio server of our own: a null sink as the default output, the native protocol on a
// socket in a private runtime folder.
class PrivateServer {
public:
    explicit PrivateServer(const TempDir& dir) : dir_(dir.dir) {
        std::filesystem::create_directories(dir_ + "/runtime");
        chmod((dir_ + "/runtime").c_str(), 0700);
        std::ofstream(dir_ + "/server.pa")
            << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << Socket()
            << "\nload-module module-null-sink sink_name=zirvak rate=44100 channels=2\n"
               "set-default-sink zirvak\n";
        setenv("PULSE_SERVER", ("unix:" + Socket()).c_str(), 1);
        setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    }
    ~PrivateServer() { Kill(); }

    // Starts the server; the empty string, or what it said when it would not start.
    std::string Start() {
        setenv("XDG_RUNTIME_DIR", (dir_ + "/runtime").c_str(), 1);
        setenv("HOME", dir_.c_str(), 1);
        std::filesystem::remove(Socket());
        server_ = std::make_unique<Process>(
            std::vector<std::string>{"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                                     "--use-pid-file=no", "-F", dir_ + "/server.pa",
                                     "--log-target=stderr"},
            "", dir_ + "/server.log");
        for (int i = 0; i < 100; ++i) {
            if (std::system("pactl info >/dev/null 2>&1") == 0) return {};
            if (server_->Wait(0) != -1) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return "the sound server did not start:\n" + Text(dir_ + "/server.log");
    }
    void Kill() {
        if (server_) server_->Signal(SIGKILL);
        if (server_) server_->Wait(5000);
        server_.reset();
    }

private:
    std::string Socket() const { return dir_ + "/runtime/native"; }
    std::string dir_;
    std::unique_ptr<Process> server_;
};

// Records the null sink's monitor into `path` from now on.
std::unique_ptr<Process> Record(const std::string& path) {
    auto recorder = std::make_unique<Process>(
        std::vector<std::string>{"parec", "-d", "zirvak.monitor", "--raw", "--format=s16le",
                                 "--rate=44100", "--channels=2", "--latency-msec=20"},
        path, "");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return recorder;
}

long FirstSound(const Samples& s, long from = 0) {
    for (long i = from; i < Frames(s); ++i)
        if (s[size_t(2 * i)] != 0 || s[size_t(2 * i + 1)] != 0) return i;
    return Frames(s);
}

// Where the music that `heard` begins with lies in `song` (a sample frame of `song`), searched
// for by a stretch of 0.1 s just after its first sound; nothing when it is not there.
std::optional<long> PlaceInSong(const Samples& heard, const Samples& song) {
    const long start = FirstSound(heard) + kRate / 10;
    if (start + kRate / 10 > Frames(heard)) return std::nullopt;
    const auto probe = heard.begin() + 2 * start;
    const auto at = std::search(song.begin(), song.end(), probe, probe + kRate / 5);
    if (at == song.end()) return std::nullopt;
    return long(at - song.begin()) / 2 - (start - FirstSound(heard));
}

// Frames of `heard` from its first sound that equal `song` from `place` on.
long MatchingFrames(const Samples& heard, const Samples& song, long place) {
    long n = 0;
    for (long h = FirstSound(heard); h < Frames(heard) && place + n < Frames(song); ++h, ++n)
        if (heard[size_t(2 * h)] != song[size_t(2 * (place + n))] ||
            heard[size_t(2 * h + 1)] != song[size_t(2 * (place + n) + 1)])
            break;
    return n;
}

class SoundServer : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::system("command -v pulseaudio >/dev/null && command -v parec >/dev/null") != 0) {
            if (RunningInCi()) FAIL() << "pulseaudio and parec are required (make deps)";
            GTEST_SKIP() << "pulseaudio or parec not installed";
        }
        // Twelve seconds of the demo song as lame makes it: MPEG-1 Layer III at 128 kbit/s.
        const Bytes demo = Decode(dir, RepoPath("res/demo.mp3"));
        song = EncodeMp3(dir, "song", MakeWav({}, std::span(demo).first(12 * kRate * 4)), "-b 128");
        decoded = AsStereo(Decode(dir, song));
        ASSERT_GT(Frames(decoded), 11 * kRate);
        const std::string failure = server.Start();
        ASSERT_EQ(failure, "");
    }

    TempDir dir;
    PrivateServer server{dir};
    std::string song;
    Samples decoded;
};

TEST_F(SoundServer, WhatIsHeardIsTheDecodedSong) {
    const std::string recording = dir.Path("heard.raw");
    auto recorder = Record(recording);
    Process play({ZIRVAK_CLI, "play", song}, dir.Path("play.out"), dir.Path("play.err"));
    ASSERT_EQ(play.Wait(30000), 0) << Text(dir.Path("play.err"));
    recorder->Signal(SIGINT);
    recorder->Wait(5000);
    const Samples heard = AsStereo(ReadFileBytes(recording));
    const std::optional<long> place = PlaceInSong(heard, decoded);
    ASSERT_TRUE(place.has_value()) << "the song is not in the recording";
    // At most the monitor's first moments are missing, then everything to the song's end.
    EXPECT_LE(*place, FirstSound(decoded) + kRate / 10);
    EXPECT_EQ(*place + MatchingFrames(heard, decoded, *place), Frames(decoded));
}

TEST_F(SoundServer, AKilledServerIsSaidAndTheSongGoesOnWhenOneIsBack) {
    auto before = Record(dir.Path("before.raw"));
    Process play({ZIRVAK_CLI, "play", song}, dir.Path("play.out"), dir.Path("play.err"));
    std::this_thread::sleep_for(std::chrono::seconds(4));
    server.Kill();
    before->Wait(5000);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    // Written to a file, the loss is told on stderr (a terminal's progress line would say
    // "no sound output (retrying)"), and stdout holds the song's line alone.
    const std::string said = Text(dir.Path("play.err"));
    EXPECT_NE(said.find("song.mp3: the sound stopped ("), std::string::npos) << said;
    EXPECT_NE(said.find("trying again every second\n"), std::string::npos) << said;
    ASSERT_EQ(server.Start(), "");
    auto after = Record(dir.Path("after.raw"));
    ASSERT_EQ(play.Wait(30000), 0) << Text(dir.Path("play.err"));
    EXPECT_EQ(Text(dir.Path("play.out")), "[1/1] song.mp3\n");
    after->Signal(SIGINT);
    after->Wait(5000);

    // Before the kill: the song from its start. After: the song again, from within a buffer of
    // where the first recording stopped, to its end.
    const Samples heardBefore = AsStereo(ReadFileBytes(dir.Path("before.raw")));
    const Samples heardAfter = AsStereo(ReadFileBytes(dir.Path("after.raw")));
    const std::optional<long> first = PlaceInSong(heardBefore, decoded);
    const std::optional<long> second = PlaceInSong(heardAfter, decoded);
    ASSERT_TRUE(first && second);
    const long stopped = *first + MatchingFrames(heardBefore, decoded, *first);
    std::printf("heard up to %.2f s before the kill, and from %.2f s after the restart\n",
                double(stopped) / kRate, double(*second) / kRate);
    EXPECT_GT(stopped, 2 * kRate);
    EXPECT_LE(std::abs(*second - stopped), kBufferFrames) << *second << " vs " << stopped;
    EXPECT_EQ(*second + MatchingFrames(heardAfter, decoded, *second), Frames(decoded));
}

}  // namespace
}  // namespace zirvak::test
