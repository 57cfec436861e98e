// How the SDL device chooses among SDL's outputs and words their failures: the user must learn
// which output was tried first and why it did not open, not only SDL's last complaint.
#include "sdl_outputs.h"

#include <gtest/gtest.h>

namespace zirvak::test {
namespace {

// SDL 2's drivers on Linux, in its own order.
const std::vector<std::string> kLinux = {"pulseaudio", "alsa", "sndio", "pipewire",
                                         "dsp",        "disk", "dummy"};

TEST(SdlOutputs, EveryOutputThatPlaysIsTriedInSdlsOrder) {
    EXPECT_EQ(DriversToTry(kLinux),
              (std::vector<std::string>{"pulseaudio", "alsa", "pipewire", "dsp"}));
    // Without ALSA, sndio is the way to a card.
    EXPECT_EQ(DriversToTry({"sndio", "pipewire", "dummy"}),
              (std::vector<std::string>{"sndio", "pipewire"}));
}

TEST(SdlOutputs, TheFailureNamesTheFirstOutputTriedInAPersonsWords) {
    // No sound server: SDL's own last words would have blamed ALSA.
    const std::vector<OutputAttempt> noServer = {
        {"pulseaudio", false, "Could not setup connection to PulseAudio"},
        {"alsa", true, "ALSA: Couldn't open audio device: No such file or directory"},
        {"pipewire", false, "Failed loading libpipewire-0.3.so.0: cannot open shared object"},
        {"dsp", false, "dsp: No such audio device"}};
    EXPECT_EQ(DescribeNoOutput(noServer, "", kLinux),
              "no PulseAudio server could be reached, and no other output opened either");

    // A driver the user named is the only one tried, and said as it failed.
    const struct {
        OutputAttempt attempt;
        std::string said;
    } named[] = {
        {{"alsa", true, "ALSA: Couldn't open audio device: No such file or directory"},
         "ALSA could not open a sound device (No such file or directory)"},
        {{"pipewire", false, "Failed loading libpipewire-0.3.so.0: cannot open shared object"},
         "PipeWire is not installed"},
        {{"dsp", false, "dsp: No such audio device"}, "OSS could not start (No such audio device)"},
        {{"pulsaudio", false, "Audio target 'pulsaudio' not available"},
         "there is no sound output called \"pulsaudio\" (SDL_AUDIODRIVER)"},
    };
    for (const auto& n : named)
        EXPECT_EQ(DescribeNoOutput({n.attempt}, n.attempt.driver, kLinux), n.said);

    EXPECT_EQ(DescribeNoOutput({}, "", {"disk", "dummy"}),
              "this system has no sound output SDL can use");
}

TEST(SdlOutputs, ALostOutputIsNamed) {
    EXPECT_EQ(DescribeLostOutput("pulseaudio"), "PulseAudio went away");
    EXPECT_EQ(DescribeLostOutput("pipewire"), "PipeWire went away");
    EXPECT_EQ(DescribeLostOutput(""), "");
}

}  // namespace
}  // namespace zirvak::test
