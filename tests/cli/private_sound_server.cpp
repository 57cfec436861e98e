#include "private_sound_server.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "support/fixtures.h"
#include "support/wait_for.h"

namespace zirvak::test {

namespace {

// What each kind of server needs installed, the recorder and pactl included.
std::vector<std::string> ProgramsOf(ServerKind kind) {
    if (kind == ServerKind::kPulseAudio) return {"pulseaudio", "pactl", "parec"};
    return {"pipewire", "wireplumber", "pipewire-pulse", "dbus-daemon", "pactl", "parec"};
}

// The variables of a sound server's clients that the servers themselves must not see: a
// PipeWire server's own clients (wireplumber, pipewire-pulse) would follow them to the player's
// link.
const std::vector<std::string> kClientVariables = {"PULSE_SERVER", "PULSE_SINK", "PIPEWIRE_REMOTE",
                                                   "PIPEWIRE_RUNTIME_DIR", "SDL_AUDIODRIVER"};

}  // namespace

uintmax_t FileSize(const std::string& path) {
    std::error_code ignored;
    const uintmax_t size = std::filesystem::file_size(path, ignored);
    return ignored ? 0 : size;
}

bool RunningInCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

std::string KindName(ServerKind kind) {
    switch (kind) {
        case ServerKind::kPulseAudio:
            return "PulseAudio";
        case ServerKind::kPipeWirePulse:
            return "PipeWirePulse";
        case ServerKind::kPipeWire:
            return "PipeWire";
    }
    return "";
}

std::string MissingPrograms(ServerKind kind) {
    std::string missing;
    for (const std::string& program : ProgramsOf(kind))
        if (std::system(("command -v " + program + " >/dev/null").c_str()) != 0)
            missing += (missing.empty() ? "" : ", ") + program;
    return missing.empty() ? "" : missing + " not installed (make deps)";
}

PrivateServer::PrivateServer(const TempDir& dir, ServerKind kind) : dir_(dir.dir), kind_(kind) {
    std::filesystem::create_directories(Runtime());
    chmod(Runtime().c_str(), 0700);
    std::filesystem::create_directories(dir_ + "/player");
    chmod((dir_ + "/player").c_str(), 0700);
    std::ofstream(dir_ + "/alsa.conf") << "pcm.!default { type hw card NoSuchCard }\n";
    playerSettings_ = {"ALSA_CONFIG_PATH=" + dir_ + "/alsa.conf"};
    if (kind == ServerKind::kPipeWire) {
        playerSettings_.push_back("SDL_AUDIODRIVER=pipewire");
        playerSettings_.push_back("PIPEWIRE_RUNTIME_DIR=" + dir_ + "/player");
        playerUnset_ = {"PIPEWIRE_REMOTE", "PULSE_SERVER"};
    } else {
        playerSettings_.push_back("SDL_AUDIODRIVER=pulseaudio");
        playerSettings_.push_back("PULSE_SERVER=unix:" + PlayerLink());
        playerUnset_ = {"PIPEWIRE_REMOTE", "PIPEWIRE_RUNTIME_DIR"};
    }
    for (const std::string& setting : playerSettings_) {
        const size_t equals = setting.find('=');
        setenv(setting.substr(0, equals).c_str(), setting.substr(equals + 1).c_str(), 1);
    }
    for (const std::string& name : playerUnset_) unsetenv(name.c_str());
    // The player's runtime folder, as a desktop session gives one, and a home that is not the
    // user's.
    setenv("XDG_RUNTIME_DIR", (dir_ + "/player").c_str(), 1);
    setenv("HOME", dir_.c_str(), 1);
}

std::vector<std::string> PrivateServer::PlayerCommand(const std::vector<std::string>& argv) const {
    std::vector<std::string> command = {"env"};
    for (const std::string& name : playerUnset_) command.insert(command.end(), {"-u", name});
    command.push_back("XDG_RUNTIME_DIR=" + dir_ + "/player");
    command.insert(command.end(), playerSettings_.begin(), playerSettings_.end());
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
}

std::string PrivateServer::ToolServer() const {
    return kind_ == ServerKind::kPulseAudio ? "unix:" + Runtime() + "/tools"
                                            : "unix:" + Runtime() + "/pulse/native";
}

std::string PrivateServer::PlayerTarget() const {
    switch (kind_) {
        case ServerKind::kPulseAudio:
            return Runtime() + "/tools";
        case ServerKind::kPipeWirePulse:
            return Runtime() + "/pulse/native";
        case ServerKind::kPipeWire:
            return Runtime() + "/pipewire-0";
    }
    return "";
}

std::string PrivateServer::PlayerLink() const {
    return dir_ + (kind_ == ServerKind::kPipeWire ? "/player/pipewire-0" : "/player/native");
}

std::unique_ptr<Process> PrivateServer::Server(std::vector<std::string> argv,
                                               const std::string& log) const {
    std::vector<std::string> command = {"env"};
    for (const std::string& name : kClientVariables) command.insert(command.end(), {"-u", name});
    command.insert(command.end(),
                   {"XDG_RUNTIME_DIR=" + Runtime(), "HOME=" + dir_,
                    "XDG_CONFIG_HOME=" + dir_ + "/config", "XDG_STATE_HOME=" + dir_ + "/state",
                    "DBUS_SESSION_BUS_ADDRESS=unix:path=" + Runtime() + "/bus"});
    command.insert(command.end(), argv.begin(), argv.end());
    return std::make_unique<Process>(command, "", dir_ + "/" + log);
}

std::string PrivateServer::Start(bool openToPlayer) {
    std::filesystem::remove(PlayerLink());
    const std::string failure =
        kind_ == ServerKind::kPulseAudio ? StartPulseAudio() : StartPipeWire();
    if (!failure.empty()) return failure;
    if (openToPlayer && !OpenToPlayer()) return "the player's socket did not open";
    return {};
}

std::string PrivateServer::StartPulseAudio() {
    std::filesystem::remove(Runtime() + "/tools");
    std::ofstream(dir_ + "/server.pa")
        << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << Runtime()
        << "/tools\nload-module module-null-sink sink_name=zirvak rate=44100 channels=2 "
           "norewinds=1\n"
           "set-default-sink zirvak\n";
    servers_.push_back(
        Server({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                "-F", dir_ + "/server.pa", "--log-target=stderr"},
               "server.log"));
    Process& server = *servers_.back();
    const bool answers =
        WaitFor([&] { return Tool("pactl info >/dev/null") || server.Wait(0) != -1; }, kStepWithin,
                kLookEvery) &&
        server.Wait(0) == -1;
    if (!answers) return "the sound server did not start:\n" + ReadFileText(dir_ + "/server.log");
    return {};
}

// A session bus of its own (wireplumber needs one), then the server, its session manager and
// its PulseAudio server, each waited for; the graph at the sink's rate alone, so nothing is
// resampled; the null sink made the default by the session manager.
std::string PrivateServer::StartPipeWire() {
    for (const char* stale : {"/bus", "/pipewire-0", "/pipewire-0.lock", "/pulse/native"})
        std::filesystem::remove(Runtime() + stale);
    std::filesystem::create_directories(dir_ + "/config/pipewire/pipewire.conf.d");
    std::ofstream(dir_ + "/config/pipewire/pipewire.conf.d/rate.conf")
        << "context.properties = { default.clock.rate = 44100 "
           "default.clock.allowed-rates = [ 44100 ] }\n";
    auto started = [&](const std::string& what, auto&& ready) -> std::string {
        Process& process = *servers_.back();
        const bool up =
            WaitFor([&] { return ready() || process.Wait(0) != -1; }, kStepWithin, kLookEvery) &&
            process.Wait(0) == -1;
        return up ? "" : what + " did not start:\n" + ReadFileText(dir_ + "/" + what + ".log");
    };
    auto exists = [&](const char* name) {
        return [this, name] { return std::filesystem::exists(Runtime() + name); };
    };
    std::string failure;
    servers_.push_back(Server(
        {"dbus-daemon", "--session", "--nofork", "--address=unix:path=" + Runtime() + "/bus"},
        "dbus-daemon.log"));
    if (!(failure = started("dbus-daemon", exists("/bus"))).empty()) return failure;
    servers_.push_back(Server({"pipewire"}, "pipewire.log"));
    if (!(failure = started("pipewire", exists("/pipewire-0"))).empty()) return failure;
    servers_.push_back(Server({"wireplumber"}, "wireplumber.log"));
    servers_.push_back(Server({"pipewire-pulse"}, "pipewire-pulse.log"));
    if (!(failure = started("pipewire-pulse", [&] {
              return Tool("pactl info >/dev/null");
          })).empty())
        return failure;
    // On a busy machine a freshly started pipewire-pulse may answer before it can load a
    // module: tried again until the sink is there.
    auto sinkMade = [&] { return Tool("pactl list short sinks | grep -qw zirvak"); };
    const bool made = WaitFor(
        [&] {
            return sinkMade() || (Tool("pactl load-module module-null-sink sink_name=zirvak "
                                       "rate=44100 channels=2 >/dev/null") &&
                                  sinkMade());
        },
        kStepWithin, kLookEvery);
    if (!made || !Tool("pactl set-default-sink zirvak")) return "the null sink was not made";
    // The session manager makes it the default in its own time.
    if (!WaitFor([&] { return Tool("pactl get-default-sink | grep -qx zirvak"); }, kStepWithin,
                 kLookEvery))
        return "the null sink did not become the default";
    return {};
}

bool PrivateServer::OpenToPlayer() {
    std::error_code failed;
    std::filesystem::create_symlink(PlayerTarget(), PlayerLink(), failed);
    return !failed;
}

// The server that plays goes first, as when it crashes: PipeWire's graph before its PulseAudio
// server (which the recorder hears the sink through) and the session bus.
void PrivateServer::Kill() {
    std::filesystem::remove(PlayerLink());
    if (kind_ != ServerKind::kPulseAudio && servers_.size() > 1)
        std::rotate(servers_.begin(), servers_.begin() + 1, servers_.end());
    for (auto& server : servers_) {
        server->Signal(SIGKILL);
        server->Wait(5000);
    }
    servers_.clear();
}

bool PrivateServer::Playing() const {
    const std::string list = dir_ + "/sink-inputs";
    return Tool("pactl list short sink-inputs >" + list) && FileSize(list) > 0;
}

bool PrivateServer::Tool(const std::string& command) const {
    return std::system(("PULSE_SERVER=" + ToolServer() + " " + command + " 2>/dev/null").c_str()) ==
           0;
}

std::unique_ptr<Process> Record(const PrivateServer& server, const std::string& path,
                                std::optional<int> latencyMs) {
    const int asked = latencyMs.value_or(server.kind() == ServerKind::kPulseAudio ? 1 : 40);
    std::vector<std::string> argv = {"parec",
                                     "--server=" + server.ToolServer(),
                                     "-d",
                                     "zirvak.monitor",
                                     "--raw",
                                     "--format=s16le",
                                     "--rate=44100",
                                     "--channels=2",
                                     "--latency-msec=" + std::to_string(asked)};
    // A recorder that falls behind loses what it was late for, which would read as music the
    // player skipped: it runs real-time where the system allows it.
    static const bool realTime = std::system("chrt -f 20 true 2>/dev/null") == 0;
    if (realTime) argv.insert(argv.begin(), {"chrt", "-f", "20"});
    auto recorder = std::make_unique<Process>(argv, path, "");
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
