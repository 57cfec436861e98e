#include <cstdio>

#include "commands.h"
#include "input.h"
#include "song_tags.h"

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

const char* SampleFormatName(WavSampleFormat format) {
    switch (format) {
        case WavSampleFormat::kPcm8:
            return "8-bit PCM";
        case WavSampleFormat::kPcm24:
            return "24-bit PCM";
        case WavSampleFormat::kPcm32:
            return "32-bit PCM";
        case WavSampleFormat::kFloat32:
            return "32-bit float";
        default:
            return "16-bit PCM";
    }
}

void PrintWav(const WavInfo& wav) {
    std::printf("format:      WAV, %s\n", SampleFormatName(wav.format));
    std::printf("sample rate: %u Hz\n", wav.sampleRateHz);
    std::printf("channels:    %d\n", wav.channels);
    std::printf("frames:      %u\n", wav.totalFrames());
    std::printf("duration:    %s\n",
                FormatDuration(double(wav.totalFrames()) / wav.sampleRateHz).c_str());
}

void PrintMpeg(const MpegStream& stream) {
    const mpeg::StreamInfo& first = stream.walk->info();
    const uint64_t frames = stream.audioFrames();
    std::printf("format:      %s Layer %s\n", VersionName(first.version), LayerName(first.layer));
    std::printf("sample rate: %d Hz\n", first.sampleRate);
    std::printf("channels:    %d (%s)\n", first.mode == mpeg::kModeSingleChannel ? 1 : 2,
                ModeName(first.mode));
    if (stream.hasVbrHeader()) {
        std::printf("bit rate:    variable (VBR header: %u frames, %u bytes)\n",
                    uint32_t(first.totalFrames), uint32_t(first.totalBytes));
    } else if (stream.scan.bitrateVaries) {
        const double ms = double(stream.scan.frames) * stream.frameMs();
        std::printf("bit rate:    variable (no VBR header; %.0f kbit/s on average)\n",
                    ms > 0 ? double(stream.scan.frameBytes) * 8 / ms : 0.0);
    } else {
        std::printf("bit rate:    %d kbit/s\n", first.bitrate / 1000);
    }
    std::printf("frames:      %llu\n", static_cast<unsigned long long>(frames));
    std::printf("duration:    %s\n",
                FormatDuration(double(frames) * stream.frameMs() / 1000).c_str());
}

// What the tags say, where they say anything; damaged or missing tags print nothing.
void PrintTags(const SongTags& tags) {
    if (!tags.title.empty()) std::printf("title:       %s\n", tags.title.c_str());
    if (!tags.artist.empty()) std::printf("artist:      %s\n", tags.artist.c_str());
    if (!tags.album.empty()) std::printf("album:       %s\n", tags.album.c_str());
    if (tags.trackNumber > 0) std::printf("track:       %d\n", tags.trackNumber);
    if (!tags.cover.empty())
        std::printf("cover:       %s, %zu bytes\n",
                    tags.cover.mimeType.empty() ? "picture" : tags.cover.mimeType.c_str(),
                    tags.cover.data.size());
}

}  // namespace

int RunInfo(const std::string& path) {
    Input in;
    std::string error;
    if (!OpenInput(path, in, error)) return Fail(error);
    std::printf("file:        %s\n", path.c_str());
    if (in.isWave)
        PrintWav(in.wav);
    else
        PrintMpeg(in.mpeg);
    PrintTags(ReadSongTags(path));
    return 0;
}

}  // namespace zirvak::cli
