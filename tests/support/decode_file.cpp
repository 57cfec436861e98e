#include "support/decode_file.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "memory_source.h"
#include "mpeg_stream.h"
#include "support/fixtures.h"

namespace zirvak::test {

std::string DecoderPathProblem() {
    const mpeg::SimdPath path = mpeg::DefaultSimdPath();
    std::printf("decoder path: %s\n", mpeg::SimdPathName(path));
    const char* asked = std::getenv("ZIRVAK_DECODER_PATH");
    if (asked == nullptr || std::string(asked) == mpeg::SimdPathName(path)) return {};
    return std::string("this machine has no ") + asked + " path";
}

DecodedStream DecodeBytes(std::span<const uint8_t> file, const mpeg::DecoderOptions& options) {
    DecodedStream out;
    mpeg::DecoderPtr decoder = mpeg::CreateDecoder();
    mpeg::SetDecoderOptions(*decoder, options);
    MemorySource source(file);
    MpegStream stream;
    if (OpenMpegStream(*decoder, source, stream, /*keepOptions=*/true) != FileProblem::kNone) {
        out.error = mpeg::LastDecoderError(*decoder);
        return out;
    }
    MpegFrameWalk& walk = *stream.walk;
    out.setUp = true;
    out.info = walk.info();
    const size_t slot = size_t(out.info.outputBytesPerFrame);
    const uint8_t silence = out.info.outputBits == 8 ? 0x80 : 0x00;
    while (!walk.AtEnd() && uint64_t(out.frames) < stream.playableSlots()) {
        out.pcm.resize(out.pcm.size() + slot, silence);
        if (walk.DecodeNext(out.pcm.data() + out.pcm.size() - slot)) ++out.framesDecoded;
        ++out.frames;
    }
    return out;
}

DecodedStream DecodeFile(const std::string& path, const mpeg::DecoderOptions& options) {
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    return DecodeBytes(bytes, options);
}

std::vector<int16_t> AsSamples(const std::vector<uint8_t>& pcm) {
    std::vector<int16_t> samples(pcm.size() / 2);
    std::memcpy(samples.data(), pcm.data(), samples.size() * 2);
    return samples;
}

std::vector<int16_t> Mpg123Samples(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path raw =
        fs::temp_directory_path() / ("zirvak_peer_" + std::to_string(getpid()) + ".raw");
    // Through a pipe: written straight to a file, mpg123's output is garbled from the start when
    // a damaged stream holds a frame of another sample rate or channel count.
    const std::string command =
        "mpg123 -q --no-gapless -s '" + path + "' 2>/dev/null | cat > '" + raw.string() + "'";
    std::vector<int16_t> samples;
    if (std::system(command.c_str()) != -1) samples = AsSamples(ReadFileBytes(raw.string()));
    fs::remove(raw);
    return samples;
}

int32_t MaxDifference(std::span<const uint8_t> played, const std::vector<int16_t>& reference,
                      size_t from) {
    const size_t n = played.size() / 2;
    if (from + n > reference.size()) return INT32_MAX;
    int32_t worst = 0;
    for (size_t i = 0; i < n; ++i) {
        int16_t s;
        std::memcpy(&s, played.data() + 2 * i, 2);
        worst = std::max(worst, std::abs(int32_t(s) - reference[from + i]));
    }
    return worst;
}

}  // namespace zirvak::test
