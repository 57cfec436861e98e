// Which of SDL's outputs the device tries, and how their failures read to a person who knows
// nothing of SDL. SDL, left to itself, tries its drivers in order and keeps only the last
// failure: with no sound server running it would blame ALSA for a user who runs PulseAudio. So
// unless the user named a driver (SDL_AUDIODRIVER), the device tries each of SDL's drivers in
// SDL's own order, keeps every failure, and names the first one tried.
#pragma once

#include <string>
#include <vector>

namespace zirvak {

// One driver that did not give an output.
struct OutputAttempt {
    std::string driver;    // SDL's name: "pulseaudio", "alsa", ...
    bool started = false;  // the driver started, but its device would not open
    std::string error;     // SDL's words
};

// The drivers to try, in SDL's order (`available`), when the user named none: all but the disk
// writer and the dummy, which SDL itself takes only when named, as they play nothing, and
// sndio, which SDL reaches only when ALSA cannot even start: on Linux, without a sndiod of its
// own, sndio goes through ALSA to the same card, and then prints its failure on stderr with no
// way to stop it.
std::vector<std::string> DriversToTry(const std::vector<std::string>& available);

// The output in a person's words: "PulseAudio" for "pulseaudio", "OSS" for "dsp", ...
std::string OutputName(const std::string& driver);

// Why no output opened, from the attempts in the order made. `named` is the driver the user
// named in SDL_AUDIODRIVER (then the only attempt), empty when every driver was tried;
// `available` is SDL's list, to tell a misspelt name.
std::string DescribeNoOutput(const std::vector<OutputAttempt>& attempts, const std::string& named,
                             const std::vector<std::string>& available);

// What happened when an open output stops: "PulseAudio went away".
std::string DescribeLostOutput(const std::string& driver);

}  // namespace zirvak
