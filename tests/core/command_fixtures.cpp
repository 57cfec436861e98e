#include "command_fixtures.h"

#include <cstdlib>

namespace zirvak::test {

std::string GainSong(const TempDir& dir, const std::string& name, const std::string& album,
                     double trackDb, double albumDb) {
    WavParams mono8k;
    mono8k.channels = 1;
    mono8k.sampleRate = 8000;
    const std::string wav =
        WriteBytes(dir.Path(name + ".wav"), MakeWav(mono8k, Pcm16Pattern(2 * 8000, 1)));
    const std::string flac = dir.Path(name + ".flac");
    const std::string command = "flac --silent -f -T ALBUM=" + album +
                                " -T REPLAYGAIN_TRACK_GAIN=" + std::to_string(trackDb) +
                                " -T REPLAYGAIN_ALBUM_GAIN=" + std::to_string(albumDb) + " -o '" +
                                flac + "' '" + wav + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return flac;
}

}  // namespace zirvak::test
