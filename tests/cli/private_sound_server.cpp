#include "private_sound_server.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "support/fixtures.h"
#include "support/wait_for.h"

namespace zirvak::test {

uintmax_t FileSize(const std::string& path) {
    std::error_code ignored;
    const uintmax_t size = std::filesystem::file_size(path, ignored);
    return ignored ? 0 : size;
}

PrivateServer::PrivateServer(const TempDir& dir) : dir_(dir.dir) {
    std::filesystem::create_directories(dir_ + "/runtime");
    chmod((dir_ + "/runtime").c_str(), 0700);
    std::ofstream(dir_ + "/server.pa")
        << "load-module module-native-protocol-unix auth-anonymous=1 socket="
        << dir_ + "/runtime/tools"
        << "\nload-module module-null-sink sink_name=zirvak rate=44100 channels=2\n"
           "set-default-sink zirvak\n";
    std::ofstream(dir_ + "/alsa.conf") << "pcm.!default { type hw card NoSuchCard }\n";
    setenv("PULSE_SERVER", ("unix:" + Socket()).c_str(), 1);
    setenv("ALSA_CONFIG_PATH", (dir_ + "/alsa.conf").c_str(), 1);
    unsetenv("PIPEWIRE_REMOTE");
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
}

std::string PrivateServer::Start(bool openToPlayer) {
    setenv("XDG_RUNTIME_DIR", (dir_ + "/runtime").c_str(), 1);
    setenv("HOME", dir_.c_str(), 1);
    std::filesystem::remove(Socket());
    std::filesystem::remove(dir_ + "/runtime/tools");
    server_ = std::make_unique<Process>(
        std::vector<std::string>{"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                                 "--use-pid-file=no", "-F", dir_ + "/server.pa",
                                 "--log-target=stderr"},
        "", dir_ + "/server.log");
    const bool answers =
        WaitFor([&] { return Tool("pactl info >/dev/null") || server_->Wait(0) != -1; },
                kStepWithin, kLookEvery) &&
        server_->Wait(0) == -1;
    if (!answers) return "the sound server did not start:\n" + ReadFileText(dir_ + "/server.log");
    if (openToPlayer && !OpenToPlayer()) return "the player's socket did not open";
    return {};
}

bool PrivateServer::OpenToPlayer() {
    return Tool("pactl load-module module-native-protocol-unix auth-anonymous=1 socket=" +
                Socket() + " >/dev/null");
}

void PrivateServer::Kill() {
    if (server_) server_->Signal(SIGKILL);
    if (server_) server_->Wait(5000);
    server_.reset();
}

bool PrivateServer::Playing() const {
    const std::string list = dir_ + "/sink-inputs";
    return Tool("pactl list short sink-inputs >" + list) && FileSize(list) > 0;
}

bool PrivateServer::Tool(const std::string& command) const {
    return std::system(("PULSE_SERVER=" + ToolServer() + " " + command + " 2>/dev/null").c_str()) ==
           0;
}

std::unique_ptr<Process> Record(const PrivateServer& server, const std::string& path) {
    auto recorder = std::make_unique<Process>(
        std::vector<std::string>{"parec", "--server=" + server.ToolServer(), "-d", "zirvak.monitor",
                                 "--raw", "--format=s16le", "--rate=44100", "--channels=2",
                                 "--latency-msec=20"},
        path, "");
    EXPECT_TRUE(WaitFor([&] { return FileSize(path) > 0; }, kStepWithin, kLookEvery))
        << "parec records nothing";
    return recorder;
}

void StopRecording(Process& recorder, const std::string& path) {
    const uintmax_t now = FileSize(path);
    EXPECT_TRUE(
        WaitFor([&] { return FileSize(path) >= now + kRate / 2 * 4; }, kStepWithin, kLookEvery));
    recorder.Signal(SIGINT);
    recorder.Wait(5000);
}

}  // namespace zirvak::test
