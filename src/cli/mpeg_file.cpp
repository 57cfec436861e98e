#include "mpeg_file.h"

namespace zirvak::cli {

const char* DecoderErrorText(int32_t code) {
    switch (code) {
        case mpeg::kErrorNoSync:
            return "no frame sync";
        case mpeg::kErrorInvalidHeader:
            return "invalid frame header";
        case mpeg::kErrorTooFewBytes:
            return "the stream is too short";
        case mpeg::kErrorUnsupported:
            return "unsupported stream";
        default:
            return "refused by the decoder";
    }
}

bool OpenMpegFile(const std::string& path, MpegFile& out, std::string& error) {
    std::string why;
    if (!out.file.Open(path, &why)) {
        error = "cannot read " + path + ": " + why;
        return false;
    }
    out.decoder = mpeg::CreateDecoder();
    if (!out.decoder) {
        error = "out of memory";
        return false;
    }
    if (!LocateMpegAudio(*out.decoder, out.file.bytes(), out.bounds)) {
        error = path + " holds no MPEG audio frame";
        return false;
    }
    const uint8_t* data = out.file.data();
    out.walk.emplace(*out.decoder, data + out.bounds.firstFrame,
                     data + out.bounds.audioStart + out.bounds.audioBytes);
    if (!out.walk->SetUp()) {
        error = path + ": " + DecoderErrorText(mpeg::LastDecoderError(*out.decoder));
        return false;
    }
    return true;
}

}  // namespace zirvak::cli
