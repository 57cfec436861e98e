// Opens an MPEG audio file for the commands: maps it, finds its audio and sets a decoder up.
#pragma once

#include <optional>
#include <string>

#include "mapped_file.h"
#include "mpeg_decoder.h"
#include "mpeg_source.h"

namespace zirvak::cli {

struct MpegFile {
    MappedFile file;
    MpegAudioBounds bounds;
    mpeg::DecoderPtr decoder;
    std::optional<MpegFrameWalk> walk;  // set up at the first frame
};

// Fills `out`, or returns false with a one-line reason in `error`.
bool OpenMpegFile(const std::string& path, MpegFile& out, std::string& error);

const char* DecoderErrorText(int32_t code);

}  // namespace zirvak::cli
