// A sound server of the test's own, with a null sink whose monitor the test records: what a
// player sends to a real sound server, heard sample for sample. PulseAudio, or PipeWire as
// desktops run it (pipewire, wireplumber on a session bus of its own, pipewire-pulse), reached
// through SDL's PulseAudio output or through its own PipeWire one.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "player_fixtures.h"

namespace zirvak::test {

// The null sink's rate, and the recording's: stereo 16-bit.
constexpr long kRate = 44100;

// What a step waits for comes within a minute: far more than any step takes on a machine that
// is busy with other work. Looked at every 50 ms: a look may start pactl.
constexpr std::chrono::seconds kStepWithin{60};
constexpr std::chrono::milliseconds kLookEvery{50};

// The size of the file at `path`; 0 when there is none.
uintmax_t FileSize(const std::string& path);

// Whether the test runs in CI, where a tool or server that is missing fails it.
bool RunningInCi();

enum class ServerKind {
    kPulseAudio,     // pulseaudio, played to through SDL's PulseAudio output
    kPipeWirePulse,  // PipeWire, played to through pipewire-pulse and SDL's PulseAudio output
    kPipeWire,       // PipeWire, played to through SDL's PipeWire output
};

// As test names want it: "PulseAudio", "PipeWirePulse", "PipeWire".
std::string KindName(ServerKind kind);
// Why a server of `kind` cannot be started here (its programs are not installed); empty when
// it can.
std::string MissingPrograms(ServerKind kind);

// The server's sockets live in a private runtime folder; the player reaches them through a
// link of its own, which the test may make later than the server starts, so a recorder is
// running before the player can get through. The graph runs at the sink's rate, so what is
// heard is what was played, sample for sample. ALSA is given a configuration of its own, whose
// default names a card that no machine has: the test never plays through the card of the
// machine it runs on, and ALSA still fails, and complains, as it does on a machine without one.
class PrivateServer {
public:
    explicit PrivateServer(const TempDir& dir, ServerKind kind = ServerKind::kPulseAudio);
    ~PrivateServer() { Kill(); }

    // Starts the server, open to the player unless `openToPlayer` is false; the empty string,
    // or what it said when it would not start.
    std::string Start(bool openToPlayer = true);
    bool OpenToPlayer();
    void Kill();
    // Whether a player's stream is connected to the sink.
    bool Playing() const;
    // The PulseAudio server address of the test's own tools (pactl, parec).
    std::string ToolServer() const;
    // `argv` as a player of this server runs it, whatever this process's environment: under
    // `env`, with the player's side of the server. The constructor also sets that side in
    // this process, for players started from here as they are.
    std::vector<std::string> PlayerCommand(const std::vector<std::string>& argv) const;
    ServerKind kind() const { return kind_; }

private:
    std::string Runtime() const { return dir_ + "/runtime"; }
    // Where the player's link points: the socket of the server it plays to.
    std::string PlayerTarget() const;
    std::string PlayerLink() const;
    // Runs a PulseAudio tool (a shell command) against the server; whether it succeeded.
    bool Tool(const std::string& command) const;
    std::string StartPulseAudio();
    std::string StartPipeWire();
    // Runs `argv` with the server's own environment, none of the player's.
    std::unique_ptr<Process> Server(std::vector<std::string> argv, const std::string& log) const;

    std::string dir_;
    ServerKind kind_;
    std::vector<std::string> playerSettings_;        // NAME=value
    std::vector<std::string> playerUnset_;           // names
    std::vector<std::unique_ptr<Process>> servers_;  // in the order started
};

// Records the null sink's monitor into `path`; returns once the recording runs. The recorder asks
// for `latencyMs`, by default as little as the server keeps up with on a busy machine. A
// PipeWire graph runs at the shortest latency any of its streams asks for: a recorder that asks
// for a millisecond makes every stream keep up at 128 frames a cycle, which a machine busy with
// sanitized tests does not, so there it asks for what a desktop's streams ask for and leaves
// the graph as a desktop runs it. A recording that must end close to where the sound stopped
// asks for 1.
std::unique_ptr<Process> Record(const PrivateServer& server, const std::string& path,
                                std::optional<int> latencyMs = {});

// Ends a recording once it holds half a second more than now, so that whatever reached the
// sink before now has reached the file too.
void StopRecording(Process& recorder, const std::string& path);

}  // namespace zirvak::test
