#include "support/decode_file.h"

#include <cstring>

#include "mpeg_source.h"
#include "support/fixtures.h"

namespace zirvak::test {

DecodedStream DecodeBytes(std::span<const uint8_t> file, const mpeg::DecoderOptions& options) {
    DecodedStream out;
    mpeg::DecoderPtr decoder = mpeg::CreateDecoder();
    mpeg::SetDecoderOptions(*decoder, options);
    MemorySource source(file);
    MpegStream stream;
    if (OpenMpegStream(*decoder, source, stream, nullptr, /*keepOptions=*/true) !=
        FileProblem::kNone) {
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

}  // namespace zirvak::test
