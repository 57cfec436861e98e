#include "format_table.h"

namespace zirvak {

// Each entry ends its format's source file.
extern const FileFormat kMpegFormat, kWavFormat, kFlacFormat, kVorbisFormat, kOpusFormat,
    kOtherOggFormat, kWavPackFormat, kMp4Format;

namespace {

// The formats are listed to people in this order, and their content tests tried in it; MPEG
// audio, which has none, takes what no other recognises. An Ogg stream of another codec is
// known only after the Ogg codecs Zirvak plays.
constinit const FileFormat* const kFormats[] = {
    &kMpegFormat,      // mpeg_source.cpp
    &kWavFormat,       // wav_source.cpp
    &kFlacFormat,      // flac_source.cpp
    &kVorbisFormat,    // vorbis_source.cpp
    &kOpusFormat,      // opus_source.cpp
    &kWavPackFormat,   // wavpack_source.cpp
    &kMp4Format,       // aac_mp4_source.cpp
    &kOtherOggFormat,  // ogg_source.cpp: refused
};

}  // namespace

std::span<const FileFormat* const> AllFormats() {
    return kFormats;
}

const FileFormat& FormatOf(ByteSource& source) {
    const FileFormat* anyOther = nullptr;
    for (const FileFormat* format : kFormats) {
        if (!format->recognises) {
            if (!anyOther) anyOther = format;
        } else if (format->recognises(source)) {
            return *format;
        }
    }
    return *anyOther;
}

std::vector<std::string_view> PlayableExtensions() {
    std::vector<std::string_view> extensions;
    for (const FileFormat* format : kFormats)
        extensions.insert(extensions.end(), format->extensions.begin(), format->extensions.end());
    return extensions;
}

std::vector<std::string_view> PlayableMimeTypes() {
    std::vector<std::string_view> types;
    for (const FileFormat* format : kFormats)
        types.insert(types.end(), format->mimeTypes.begin(), format->mimeTypes.end());
    return types;
}

std::string FormatNamesInWords(std::string_view lastJoin) {
    std::vector<std::string_view> names;
    for (const FileFormat* format : kFormats)
        names.insert(names.end(), format->names.begin(), format->names.end());
    std::string words;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i + 1 == names.size() && i > 0) {
            words.append(" ").append(lastJoin).append(" ");
        } else if (i > 0) {
            words.append(", ");
        }
        words.append(names[i]);
    }
    return words;
}

}  // namespace zirvak
