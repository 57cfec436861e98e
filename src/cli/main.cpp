// zirvak-cli: Zirvak's decoder and player from the terminal.
#include <cstdio>
#include <string>

#include "commands.h"

namespace {

int Usage() {
    std::fprintf(
        stderr,
        "usage: zirvak-cli info FILE\n"
        "       zirvak-cli decode FILE OUT   (OUT ending in .wav gets a WAV header,\n"
        "                                     anything else raw 16-bit PCM)\n"
        "       zirvak-cli play FILE|FOLDER...  (space pause/resume, s stop, p play, n next,\n"
        "                                        b previous, Left/Right seek 5 s, with Shift\n"
        "                                        30 s, Home start, Up/Down or +/- volume,\n"
        "                                        q quit)\n"
        "       zirvak-cli render FILE OUT.wav\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    if (command == "info" && argc == 3) return zirvak::cli::RunInfo(argv[2]);
    if (command == "decode" && argc == 4) return zirvak::cli::RunDecode(argv[2], argv[3]);
    if (command == "render" && argc == 4) return zirvak::cli::RunRender(argv[2], argv[3]);
    if (command == "play" && argc >= 3) return zirvak::cli::RunPlay({argv + 2, argv + argc});
    return Usage();
}
