#include <cstdio>
#include <cstring>
#include <vector>

#include "commands.h"
#include "mpeg_file.h"
#include "wav_writer.h"

namespace zirvak::cli {

int RunDecode(const std::string& path, const std::string& outPath) {
    MpegFile mp;
    std::string error;
    if (!OpenMpegFile(path, mp, error)) {
        std::fprintf(stderr, "zirvak-cli: %s\n", error.c_str());
        return 1;
    }
    const mpeg::StreamInfo& info = mp.walk->info();
    PcmFileWriter writer;
    if (!writer.Open(outPath, HasWavExtension(outPath), info.sampleRate, info.outputChannels,
                     info.outputBits, &error)) {
        std::fprintf(stderr, "zirvak-cli: cannot write %s: %s\n", outPath.c_str(), error.c_str());
        return 1;
    }
    // Every frame takes one slot of the stream's size; a frame that produces no samples
    // leaves its slot silent, so the output stays aligned on frames.
    std::vector<uint8_t> frame(size_t(info.outputBytesPerFrame));
    const uint8_t silence = info.outputBits == 8 ? 0x80 : 0x00;
    while (!mp.walk->AtEnd()) {
        std::memset(frame.data(), silence, frame.size());
        mp.walk->DecodeNext(frame.data());
        writer.Write(frame.data(), frame.size());
    }
    if (!writer.Close()) {
        std::fprintf(stderr, "zirvak-cli: cannot write %s\n", outPath.c_str());
        return 1;
    }
    return 0;
}

}  // namespace zirvak::cli
