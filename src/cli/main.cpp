// zirvak-cli: Zirvak's decoder and player from the terminal.
#include <cstdio>
#include <string>

#include "commands.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: zirvak-cli info FILE\n"
                 "       zirvak-cli decode FILE OUT   (OUT ending in .wav gets a WAV header,\n"
                 "                                     anything else raw 16-bit PCM)\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    if (command == "info" && argc == 3) return zirvak::cli::RunInfo(argv[2]);
    if (command == "decode" && argc == 4) return zirvak::cli::RunDecode(argv[2], argv[3]);
    return Usage();
}
