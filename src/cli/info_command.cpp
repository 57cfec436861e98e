#include <cstdio>

#include "commands.h"
#include "mpeg_file.h"

namespace zirvak::cli {

namespace {

const char* VersionName(int32_t version) {
    return version == 1 ? "MPEG-1" : version == 2 ? "MPEG-2" : "MPEG-2.5";
}

const char* LayerName(int32_t layer) {
    return layer == 1 ? "I" : layer == 2 ? "II" : "III";
}

const char* ModeName(int32_t mode) {
    switch (mode) {
        case mpeg::kModeStereo:
            return "stereo";
        case mpeg::kModeJointStereo:
            return "joint stereo";
        case mpeg::kModeDualChannel:
            return "dual channel";
        default:
            return "single channel";
    }
}

}  // namespace

int RunInfo(const std::string& path) {
    MpegFile mp;
    std::string error;
    if (!OpenMpegFile(path, mp, error)) {
        std::fprintf(stderr, "zirvak-cli: %s\n", error.c_str());
        return 1;
    }
    const mpeg::StreamInfo first = mp.walk->info();
    long frames = 0;
    while (!mp.walk->AtEnd()) {
        mp.walk->SkipNext();
        ++frames;
    }
    const int32_t samplesPerFrame =
        first.outputBytesPerFrame / (first.outputChannels * first.outputBits / 8);
    const double seconds = double(frames) * samplesPerFrame / first.sampleRate;

    std::printf("file:        %s\n", path.c_str());
    std::printf("format:      %s Layer %s\n", VersionName(first.version), LayerName(first.layer));
    std::printf("sample rate: %d Hz\n", first.sampleRate);
    std::printf("channels:    %d (%s)\n", first.mode == mpeg::kModeSingleChannel ? 1 : 2,
                ModeName(first.mode));
    if (first.totalFrames != 0 || first.totalBytes != 0 || first.frameLength != 0) {
        std::printf("bit rate:    variable (VBR header: %u frames, %u bytes)\n",
                    uint32_t(first.totalFrames), uint32_t(first.totalBytes));
    } else {
        std::printf("bit rate:    %d kbit/s\n", first.bitrate / 1000);
    }
    std::printf("frames:      %ld\n", frames);
    std::printf("duration:    %d:%06.3f\n", int(seconds / 60), seconds - 60 * int(seconds / 60));
    return 0;
}

}  // namespace zirvak::cli
