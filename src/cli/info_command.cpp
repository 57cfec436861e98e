#include <algorithm>
#include <cstdio>

#include "commands.h"
#include "flac_source.h"
#include "gapless_mpeg_source.h"
#include "input.h"
#include "opus_source.h"
#include "printable.h"
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

// Where the stream broke off and went on further: how often, the bytes passed over, and the
// audio lost there (which plays as silence). Said without the format's words: "3 gaps in the
// stream (1254 bytes skipped), 0.078 s of audio lost".
std::string DescribeDamage(const MpegStream& stream) {
    const MpegScan& scan = stream.scan;
    char text[160];
    int length = std::snprintf(
        text, sizeof text, "%llu %s in the stream (%llu %s skipped)",
        static_cast<unsigned long long>(scan.gaps), scan.gaps == 1 ? "gap" : "gaps",
        static_cast<unsigned long long>(scan.gapBytes), scan.gapBytes == 1 ? "byte" : "bytes");
    if (scan.lostFrames > 0 && length > 0 && size_t(length) < sizeof text)
        std::snprintf(text + length, sizeof text - size_t(length), ", %.3f s of audio lost",
                      double(scan.lostFrames) * stream.frameMs() / 1000);
    return text;
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
    if (stream.encoderGap) {
        std::printf("encoder gap: %d samples before the song, %d after (LAME tag)\n",
                    stream.encoderGap->delay, stream.encoderGap->padding);
    } else if (stream.itunesGap) {
        std::printf("encoder gap: %u samples before the song, %u after (iTunSMPB)\n",
                    stream.itunesGap->delay, stream.itunesGap->padding);
    }
    // What plays gapless: the song as it was encoded.
    if (const std::optional<GaplessTrim> trim = GaplessTrimOf(stream)) {
        const int rate = std::max(first.sampleRate, 1);
        std::printf("gapless:     %s (%llu samples)\n",
                    FormatDuration(double(trim->songFrames) / rate).c_str(),
                    static_cast<unsigned long long>(trim->songFrames));
    }
    if (stream.scan.gaps > 0) std::printf("damage:      %s\n", DescribeDamage(stream).c_str());
}

// FLAC, Vorbis and Opus: what the source read of the file, and its bytes for each second.
void PrintSource(const AudioSource& source, uint64_t fileBytes) {
    uint64_t frames = 0;
    int32_t channels = source.format().channels;
    if (const auto* flac = dynamic_cast<const FlacSource*>(&source)) {
        std::printf("format:      FLAC, %u bits\n", flac->bitsPerSample());
        frames = flac->totalFrames();
        channels = flac->fileChannels();
    } else if (const auto* ogg = dynamic_cast<const OggSource*>(&source)) {
        std::printf("format:      Ogg %s\n",
                    dynamic_cast<const OpusSource*>(&source) ? "Opus" : "Vorbis");
        frames = ogg->totalFrames();
        channels = ogg->fileChannels();
    }
    const int32_t rate = source.format().sampleRateHz;
    std::printf("sample rate: %d Hz\n", rate);
    std::printf("channels:    %d\n", channels);
    const double seconds = rate > 0 ? double(frames) / rate : 0.0;
    if (seconds > 0)
        std::printf("bit rate:    %.0f kbit/s on average\n",
                    double(fileBytes) * 8 / seconds / 1000);
    std::printf("duration:    %s\n", FormatDuration(seconds).c_str());
}

// "3/12", or "3" without a total.
std::string PlaceInSet(int number, int total) {
    char text[32];
    if (total > 0)
        std::snprintf(text, sizeof text, "%d/%d", number, total);
    else
        std::snprintf(text, sizeof text, "%d", number);
    return text;
}

// What the tags say, where they say anything; damaged or missing tags print nothing.
void PrintTags(const SongTags& tags) {
    if (!tags.title.empty()) std::printf("title:       %s\n", Printable(tags.title).c_str());
    if (!tags.artist.empty()) std::printf("artist:      %s\n", Printable(tags.artist).c_str());
    if (!tags.album.empty()) std::printf("album:       %s\n", Printable(tags.album).c_str());
    if (tags.year > 0) std::printf("year:        %d\n", tags.year);
    if (!tags.genre.empty()) std::printf("genre:       %s\n", Printable(tags.genre).c_str());
    if (tags.trackNumber > 0)
        std::printf("track:       %s\n", PlaceInSet(tags.trackNumber, tags.trackTotal).c_str());
    if (tags.discNumber > 0)
        std::printf("disc:        %s\n", PlaceInSet(tags.discNumber, tags.discTotal).c_str());
    if (!tags.cover.empty())
        std::printf("cover:       %s, %zu bytes\n",
                    tags.cover.mimeType.empty() ? "picture" : tags.cover.mimeType.c_str(),
                    tags.cover.data.size());
}

}  // namespace

int RunInfo(const std::vector<std::string>& paths) {
    bool anyFailed = false, anyShown = false;
    for (const std::string& path : paths) {
        Input in;
        std::string error;
        if (!OpenInput(path, in, error)) {
            std::fflush(stdout);  // the message after the blocks before it, on a terminal
            Fail(error);
            anyFailed = true;
            continue;
        }
        if (anyShown) std::printf("\n");
        anyShown = true;
        std::printf("file:        %s\n", Printable(path).c_str());
        if (in.isWave)
            PrintWav(in.wav);
        else if (in.source)
            PrintSource(*in.source, in.file.size());
        else
            PrintMpeg(in.mpeg);
        PrintTags(ReadSongTags(path));
    }
    if (!FlushStandardOutput()) return 1;
    return anyFailed ? 1 : 0;
}

}  // namespace zirvak::cli
