// The transport commands against the engine on a hand-stepped device, with a scripted file
// chooser, clock and timer: the fixtures the command and queue tests share.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "animation.h"
#include "fake_host.h"
#include "player_fixtures.h"
#include "transport_commands.h"

namespace zirvak::test {

class TransportCommandsTest : public ::testing::Test {
protected:
    TestAudioDevice device;
    Animation animation{40, 30};
    PlayerEngine engine{device};
    FakeHost host = [this] {
        FakeHost h;
        h.flight = &animation;
        return h;
    }();
    TransportCommands commands{engine, host};
    TempDir dir;
    const std::string song =
        WriteBytes(dir.Path("song.wav"), MakeWav({}, Pcm16Pattern(kWavChunkBytes * 5 / 2 / 4, 2)));
};

// Songs of `seconds` of 8 kHz mono: each buffer holds over 18 s, so the clock, not what was
// handed to the device, bounds the position.
class SongQueueTest : public TransportCommandsTest {
protected:
    std::string Song(const std::string& name, uint32_t seconds = 20) {
        WavParams mono8k;
        mono8k.channels = 1;
        mono8k.sampleRate = 8000;
        return WriteBytes(dir.Path(name), MakeWav(mono8k, Pcm16Pattern(seconds * 8000, 1)));
    }
    // The song is heard to its end, and a tick follows.
    void HearToTheEnd() {
        device.CompleteAll();
        host.now += 100;
        commands.FollowPlayback();
    }
    std::optional<size_t> Current() const { return commands.session().queue().current(); }
};

// A FLAC song of two seconds of 8 kHz mono with ReplayGain tags: its album and the gains.
std::string GainSong(const TempDir& dir, const std::string& name, const std::string& album,
                     double trackDb, double albumDb);

}  // namespace zirvak::test
