#include "command_line.h"

#include <charconv>

namespace zirvak {

const char* const kAppUsage =
    "usage: zirvak [--new-instance] [--no-gapless] [--replaygain=MODE] [FILE|FOLDER...]\n"
    "       zirvak --screenshot OUT.png [--ticks N] [FILE|FOLDER...]\n"
    "       zirvak --help | --version\n";

const char* const kAppHelp =
    "Plays MP3, FLAC, Ogg Vorbis, Opus and WAV files, the playable files in folders and the\n"
    "songs of playlists, one after another, while a butterfly flies over a night garden to the\n"
    "beat.\n"
    "\n"
    "  -h, --help          show this help and exit\n"
    "  -v, --version       show the version and exit\n"
    "      --new-instance  open another window even when Zirvak already runs (otherwise the\n"
    "                      files go to the running window, which plays them instead)\n"
    "      --no-gapless    play every frame of an MPEG stream as it holds them, for this run\n"
    "                      (otherwise the encoder's delay and padding are left out)\n"
    "      --replaygain=MODE\n"
    "                      off, track, album or auto: each song at the gain its ReplayGain\n"
    "                      tags give (auto: the album's where the song before or after is\n"
    "                      of the same album), for this run; otherwise as the settings say\n"
    "      --screenshot OUT.png\n"
    "                      save the window to OUT.png after the animation ticks, then quit\n"
    "      --ticks N       animation ticks before the screenshot (default 60)\n"
    "\n"
    "Exit status: 0 done, 1 a screenshot could not be taken, 2 wrong usage.\n";

namespace {

bool ParseTicks(const std::string& text, int& ticks) {
    const char* end = text.data() + text.size();
    const auto [stop, problem] = std::from_chars(text.data(), end, ticks);
    return problem == std::errc() && stop == end && ticks >= 0;
}

}  // namespace

AppOptions ParseAppCommandLine(const std::vector<std::string>& args) {
    AppOptions options;
    bool optionsEnd = false;
    for (size_t i = 0; i < args.size() && options.error.empty(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnd || arg.size() < 2 || arg[0] != '-') {
            options.files.push_back(arg);
            continue;
        }
        // --name=value, or --name value for the options that take one.
        const size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        std::optional<std::string> value;
        if (equals != std::string::npos) value = arg.substr(equals + 1);
        const bool takesValue =
            name == "--screenshot" || name == "--ticks" || name == "--replaygain";
        if (takesValue && !value) {
            if (i + 1 == args.size()) {
                options.error = "option '" + name + "' needs a value";
                break;
            }
            value = args[++i];
        } else if (!takesValue && value) {
            options.error = "option '" + name + "' takes no value";
            break;
        }
        if (arg == "--") {
            optionsEnd = true;
        } else if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "-v" || arg == "--version") {
            options.version = true;
        } else if (arg == "--new-instance") {
            options.newInstance = true;
        } else if (arg == "--no-gapless") {
            options.gapless = false;
        } else if (name == "--screenshot") {
            options.screenshot = *value;
        } else if (name == "--replaygain") {
            options.replayGain = ParseReplayGainMode(*value);
            if (!options.replayGain)
                options.error = "'" + *value + "' is no ReplayGain mode (off, track, album, auto)";
        } else if (name == "--ticks") {
            if (!ParseTicks(*value, options.ticks))
                options.error = "'" + *value + "' is no number of ticks";
        } else {
            options.error = "unknown option '" + arg + "'";
        }
    }
    return options;
}

}  // namespace zirvak
