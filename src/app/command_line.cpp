#include "command_line.h"

#include <charconv>

#include "format_table.h"

namespace zirvak {

const char* const kAppUsage =
    "usage: zirvak [--new-instance] [--no-gapless] [--replaygain=MODE] [FILE|FOLDER...]\n"
    "       zirvak --screenshot OUT.png [--ticks N] [FILE|FOLDER...]\n"
    "       zirvak --help | --version\n";

namespace {

// The options, after the paragraph that says what the program plays.
const char* const kAppOptionsHelp =
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

// `text` broken into lines of at most `width` characters between words.
std::string Wrapped(const std::string& text, size_t width) {
    std::string wrapped, line;
    size_t start = 0;
    while (start < text.size()) {
        const size_t space = text.find(' ', start);
        const size_t end = space == std::string::npos ? text.size() : space;
        const std::string word = text.substr(start, end - start);
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            wrapped += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        start = end + 1;
    }
    return wrapped + line + "\n";
}

bool ParseTicks(const std::string& text, int& ticks) {
    const char* end = text.data() + text.size();
    const auto [stop, problem] = std::from_chars(text.data(), end, ticks);
    return problem == std::errc() && stop == end && ticks >= 0;
}

}  // namespace

std::string AppHelp() {
    return Wrapped("Plays " + FormatNamesInWords("and") +
                       " files, the playable files in folders and the songs of playlists, one "
                       "after another, while a butterfly flies over a night garden to the beat.",
                   90) +
           "\n" + kAppOptionsHelp;
}

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
