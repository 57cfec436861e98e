// zirvak-cli: Zirvak's decoder and player from the terminal.
//   zirvak-cli [--help | --version]
//   zirvak-cli COMMAND [--help | ARGUMENTS]
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "zirvak_version.h"

namespace {

constexpr const char* kReplayGainOption = "--replaygain=";

struct Command {
    const char* name;
    const char* usage;  // the arguments
    const char* help;   // what it does, for COMMAND --help
    int (*run)(const std::vector<std::string>& args, const zirvak::cli::PlayOptions& options);
    size_t minArgs, maxArgs;
    bool plays = false;    // takes --replaygain=MODE
    bool gapless = false;  // takes --no-gapless
};

const Command kCommands[] = {
    {"info", "FILE...",
     "Prints each file's format, sample rate, channels, bit rate, frames and duration, where\n"
     "its audio is damaged (the gaps in the stream, the bytes skipped and the audio lost), and\n"
     "the title, artist, album, year, genre, track and disc its tags give: one block per file,\n"
     "a blank line between them. A file that cannot be read gets its line on stderr, the\n"
     "others are still shown, and the exit status is 1.\n",
     [](const std::vector<std::string>& a, const zirvak::cli::PlayOptions&) {
         return zirvak::cli::RunInfo(a);
     },
     1, SIZE_MAX},
    {"decode", "[--no-gapless] FILE OUT",
     "Decodes FILE to 16-bit PCM: OUT ending in .wav gets a WAV header, anything else is raw\n"
     "little-endian samples. An MPEG stream with a LAME tag gives the samples its encoder took\n"
     "in, without the silence it added before and after them; --no-gapless gives every frame.\n",
     [](const std::vector<std::string>& a, const zirvak::cli::PlayOptions& o) {
         return zirvak::cli::RunDecode(a[0], a[1], o);
     },
     2, 2, false, true},
    {"play", "[--replaygain=MODE] [--no-gapless] FILE|FOLDER...",
     "Plays the files, and the playable files in the folders, one after another. A line names\n"
     "each song as it starts: \"[2/5] Artist \u2013 Title\" from its tags, or its file name. On a\n"
     "terminal a progress line follows, cut to the terminal's width:\n"
     "  1:02 / 3:40  playing  volume 80%  song 2/5  *\n"
     "where the * flashes on each beat found in the music (the beats the window's butterfly\n"
     "follows). Into a file or a pipe only the songs' lines are written.\n"
     "Keys: space pause/resume, s stop, p play, n next, b previous,\n"
     "Left/Right seek 5 s (with Shift 30 s), Home start, Up/Down or +/- volume, q quit.\n"
     "--replaygain=off|track|album|auto plays each song at the gain its ReplayGain tags give\n"
     "(auto: the album's where the song before or after is of the same album), for this run;\n"
     "without it, as the settings say (off at first).\n",
     [](const std::vector<std::string>& a, const zirvak::cli::PlayOptions& o) {
         return zirvak::cli::RunPlay(a, o);
     },
     1, SIZE_MAX, true, true},
    {"loudness", "FILE...",
     "Measures each file as EBU R 128 measures a programme: its integrated loudness, its\n"
     "loudness range, its sample peak, and the ReplayGain 2.0 gain that brings it to -18 LUFS;\n"
     "a last row measures the files together as one album. One row per file; on a terminal a\n"
     "progress line shows the file being measured. Nothing is written to the files.\n",
     [](const std::vector<std::string>& a, const zirvak::cli::PlayOptions&) {
         return zirvak::cli::RunLoudness(a);
     },
     1, SIZE_MAX},
    {"render", "[--replaygain=MODE] [--no-gapless] FILE... OUT.wav",
     "Writes to OUT.wav exactly what the player sends to the sound output for the FILEs, one\n"
     "after another as a queue plays them, at the gain --replaygain=off|track|album|auto\n"
     "chooses from their tags (off without it). A file that cannot be played, or has another\n"
     "rate or channel count than the first, gets its message and is left out.\n",
     [](const std::vector<std::string>& a, const zirvak::cli::PlayOptions& o) {
         return zirvak::cli::RunRender({a.begin(), a.end() - 1}, a.back(), o);
     },
     2, SIZE_MAX, true, true},
};

void PrintUsage(std::FILE* to) {
    std::fputs("usage: zirvak-cli [--help | --version]\n", to);
    for (const Command& c : kCommands)
        std::fprintf(to, "       zirvak-cli %s %s\n", c.name, c.usage);
}

int UsageError(const std::string& problem) {
    std::fprintf(stderr, "zirvak-cli: %s\n", problem.c_str());
    PrintUsage(stderr);
    return 2;
}

bool IsHelp(const char* arg) {
    return !std::strcmp(arg, "--help") || !std::strcmp(arg, "-h");
}
bool IsVersion(const char* arg) {
    return !std::strcmp(arg, "--version") || !std::strcmp(arg, "-v");
}
// "-" alone is a file name for the shell's sake; anything else with a dash is an option.
bool IsOption(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '-';
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return UsageError("no command given");
    if (IsHelp(argv[1])) {
        PrintUsage(stdout);
        std::puts(
            "\nZirvak's decoder and player in the terminal.\n'zirvak-cli COMMAND --help' describes "
            "a command. Exit status: 0 done, 1 a file\n"
            "could not be read, decoded or played, 2 wrong usage.");
        return 0;
    }
    if (IsVersion(argv[1])) {
        std::printf("zirvak-cli %s\n", zirvak::kVersion);
        return 0;
    }
    for (const Command& c : kCommands) {
        if (std::strcmp(argv[1], c.name) != 0) continue;
        std::vector<std::string> args;
        zirvak::cli::PlayOptions options;
        bool optionsEnd = false;
        for (int i = 2; i < argc; ++i) {
            const std::string arg = argv[i];
            if (!optionsEnd && arg == "--") {
                optionsEnd = true;
            } else if (!optionsEnd && IsHelp(argv[i])) {
                std::printf("usage: zirvak-cli %s %s\n\n%s", c.name, c.usage, c.help);
                return 0;
            } else if (!optionsEnd && c.gapless && arg == "--no-gapless") {
                options.gapless = false;
            } else if (!optionsEnd && c.plays && arg.rfind(kReplayGainOption, 0) == 0) {
                options.replayGain =
                    zirvak::ParseReplayGainMode(arg.substr(std::strlen(kReplayGainOption)));
                if (!options.replayGain)
                    return UsageError("'" + arg + "': the mode is off, track, album or auto");
            } else if (!optionsEnd && IsOption(arg)) {
                return UsageError("unknown option '" + arg + "' for " + c.name);
            } else {
                args.push_back(arg);
            }
        }
        // decode and render play MPEG songs gapless unless told not to; play as the settings say.
        if (!options.gapless && std::strcmp(c.name, "play") != 0) options.gapless = c.gapless;
        if (args.size() < c.minArgs || args.size() > c.maxArgs)
            return UsageError(std::string("wrong number of arguments for ") + c.name);
        return c.run(args, options);
    }
    if (IsOption(argv[1])) return UsageError(std::string("unknown option '") + argv[1] + "'");
    return UsageError(std::string("unknown command '") + argv[1] + "'");
}
