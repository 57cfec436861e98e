#include "sdl_outputs.h"

#include <algorithm>
#include <cctype>

namespace zirvak {

namespace {

bool SameLetters(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool StartsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

// Outputs that are servers the program connects to, rather than devices it opens.
bool IsServer(const std::string& driver) {
    return driver == "pulseaudio" || driver == "pipewire" || driver == "jack" || driver == "nas" ||
           driver == "esd" || driver == "arts";
}

// SDL's error without what the sentence around it already says: the driver's name in front
// ("ALSA: ") and "Couldn't open audio device: ", leaving the system's own words.
std::string Detail(const OutputAttempt& a) {
    std::string s = a.error;
    const size_t colon = s.find(": ");
    if (colon != std::string::npos && (SameLetters(s.substr(0, colon), a.driver) ||
                                       SameLetters(s.substr(0, colon), OutputName(a.driver))))
        s.erase(0, colon + 2);
    const std::string couldNot = "Couldn't open audio device: ";
    if (StartsWith(s, couldNot)) s.erase(0, couldNot.size());
    return s;
}

std::string DescribeAttempt(const OutputAttempt& a, bool known) {
    const std::string name = OutputName(a.driver);
    if (!known) return "there is no sound output called \"" + a.driver + "\" (SDL_AUDIODRIVER)";
    if (a.started) {
        const std::string detail = Detail(a);
        return name + " could not open a sound device" +
               (detail.empty() ? "" : " (" + detail + ")");
    }
    // SDL loads each driver's library when it starts the driver.
    if (StartsWith(a.error, "Failed loading ")) return name + " is not installed";
    if (IsServer(a.driver)) return "no " + name + " server could be reached";
    const std::string detail = Detail(a);
    return name + " could not start" + (detail.empty() ? "" : " (" + detail + ")");
}

}  // namespace

std::vector<std::string> DriversToTry(const std::vector<std::string>& available) {
    const bool alsa = std::find(available.begin(), available.end(), "alsa") != available.end();
    std::vector<std::string> drivers;
    for (const std::string& d : available)
        if (d != "disk" && d != "dummy" && !(d == "sndio" && alsa)) drivers.push_back(d);
    return drivers;
}

std::string OutputName(const std::string& driver) {
    static const struct {
        const char* driver;
        const char* name;
    } kNames[] = {
        {"pulseaudio", "PulseAudio"},
        {"pipewire", "PipeWire"},
        {"alsa", "ALSA"},
        {"jack", "JACK"},
        {"sndio", "sndio"},
        {"dsp", "OSS"},
        {"nas", "NAS"},
        {"esd", "EsounD"},
        {"arts", "aRts"},
        {"disk", "SDL's disk writer"},
        {"dummy", "SDL's dummy output"},
    };
    for (const auto& n : kNames)
        if (driver == n.driver) return n.name;
    return driver;
}

std::string DescribeNoOutput(const std::vector<OutputAttempt>& attempts, const std::string& named,
                             const std::vector<std::string>& available) {
    if (attempts.empty()) return "this system has no sound output SDL can use";
    const OutputAttempt& first = attempts.front();
    // SDL_AUDIODRIVER may name a list ("pulseaudio,alsa"): only a single name is checked.
    const bool known =
        named.empty() || named.find(',') != std::string::npos ||
        std::find(available.begin(), available.end(), first.driver) != available.end();
    std::string reason = DescribeAttempt(first, known);
    if (attempts.size() > 1) reason += ", and no other output opened either";
    return reason;
}

std::string DescribeLostOutput(const std::string& driver) {
    return driver.empty() ? std::string() : OutputName(driver) + " went away";
}

}  // namespace zirvak
