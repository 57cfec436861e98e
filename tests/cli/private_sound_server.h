// A PulseAudio server of the test's own, with a null sink whose monitor the test records: what
// zirvak-cli play sends to a real sound server, heard sample for sample.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

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

// A null sink as the default output, the native protocol on sockets in a private runtime
// folder: one for the test's own tools (pactl, parec), one for the player, which the test may
// open later than the first, so a recorder is running before the player can get through. ALSA
// is given a configuration of its own, whose default names a card that no machine has: the test
// never plays through the card of the machine it runs on, and ALSA still fails, and complains,
// as it does on a machine without one. The environment is set for the player from the start.
class PrivateServer {
public:
    explicit PrivateServer(const TempDir& dir);
    ~PrivateServer() { Kill(); }

    // Starts the server, open to the player unless `openToPlayer` is false; the empty string,
    // or what it said when it would not start.
    std::string Start(bool openToPlayer = true);
    bool OpenToPlayer();
    void Kill();
    // Whether a player's stream is connected to the sink.
    bool Playing() const;
    std::string ToolServer() const { return "unix:" + dir_ + "/runtime/tools"; }

private:
    std::string Socket() const { return dir_ + "/runtime/native"; }
    // Runs a PulseAudio tool (a shell command) against the server; whether it succeeded.
    bool Tool(const std::string& command) const;

    std::string dir_;
    std::unique_ptr<Process> server_;
};

// Records the null sink's monitor into `path`; returns once the recording runs.
std::unique_ptr<Process> Record(const PrivateServer& server, const std::string& path);

// Ends a recording once it holds half a second more than now, so that whatever reached the
// sink before now has reached the file too.
void StopRecording(Process& recorder, const std::string& path);

}  // namespace zirvak::test
