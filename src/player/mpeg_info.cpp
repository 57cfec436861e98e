#include "mpeg_info.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "gapless_mpeg_source.h"

namespace zirvak {

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

// printf into a string of a line's length.
template <typename... Args>
std::string Printed(const char* format, Args... args) {
    char text[160];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

// Where the stream broke off and went on further: how often, the bytes passed over, and the
// audio lost there (which plays as silence). Said without the format's words: "3 gaps in the
// stream (1254 bytes skipped), 0.078 s of audio lost".
std::string DescribeDamage(const MpegStream& stream) {
    const MpegScan& scan = stream.scan;
    std::string text = Printed(
        "%llu %s in the stream (%llu %s skipped)", static_cast<unsigned long long>(scan.gaps),
        scan.gaps == 1 ? "gap" : "gaps", static_cast<unsigned long long>(scan.gapBytes),
        scan.gapBytes == 1 ? "byte" : "bytes");
    if (scan.lostFrames > 0)
        text +=
            Printed(", %.3f s of audio lost", double(scan.lostFrames) * stream.frameMs() / 1000);
    return text;
}

std::string BitRate(const MpegStream& stream) {
    const mpeg::StreamInfo& first = stream.walk->info();
    if (stream.hasVbrHeader())
        return Printed("variable (VBR header: %u frames, %u bytes)", uint32_t(first.totalFrames),
                       uint32_t(first.totalBytes));
    if (stream.scan.bitrateVaries) {
        const double ms = double(stream.scan.frames) * stream.frameMs();
        return Printed("variable (no VBR header; %.0f kbit/s on average)",
                       ms > 0 ? double(stream.scan.frameBytes) * 8 / ms : 0.0);
    }
    return Printed("%d kbit/s", first.bitrate / 1000);
}

}  // namespace

std::vector<InfoLine> DescribeMpegStream(const MpegStream& stream) {
    const mpeg::StreamInfo& first = stream.walk->info();
    const uint64_t frames = stream.audioFrames();
    std::vector<InfoLine> lines = {
        {"format", Printed("%s Layer %s", VersionName(first.version), LayerName(first.layer))},
        {"sample rate", Printed("%d Hz", first.sampleRate)},
        {"channels",
         Printed("%d (%s)", first.mode == mpeg::kModeSingleChannel ? 1 : 2, ModeName(first.mode))},
        {"bit rate", BitRate(stream)},
        {"frames", std::to_string(frames)},
        {"duration", DurationText(double(frames) * stream.frameMs() / 1000)},
    };
    if (stream.encoderGap) {
        lines.push_back(
            {"encoder gap", Printed("%d samples before the song, %d after (LAME tag)",
                                    stream.encoderGap->delay, stream.encoderGap->padding)});
    } else if (stream.itunesGap) {
        lines.push_back(
            {"encoder gap", Printed("%u samples before the song, %u after (iTunSMPB)",
                                    stream.itunesGap->delay, stream.itunesGap->padding)});
    }
    // What plays gapless: the song as it was encoded.
    if (const std::optional<GaplessTrim> trim = GaplessTrimOf(stream)) {
        const int rate = std::max(first.sampleRate, 1);
        lines.push_back({"gapless", Printed("%s (%llu samples)",
                                            DurationText(double(trim->songFrames) / rate).c_str(),
                                            static_cast<unsigned long long>(trim->songFrames))});
    }
    if (stream.scan.gaps > 0) lines.push_back({"damage", DescribeDamage(stream)});
    return lines;
}

}  // namespace zirvak
