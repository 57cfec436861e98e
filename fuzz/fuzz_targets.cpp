#include "fuzz_targets.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "beat_markers.h"
#include "memory_source.h"
#include "mpeg_stream.h"
#include "player_engine.h"
#include "song_tags.h"
#include "tag_text.h"
#include "test_audio_device.h"

namespace zirvak::fuzz {

namespace {

std::string ScratchPath() {
    static const std::string path = [] {
        const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(dir) + "/zirvak-fuzz-" + std::to_string(getpid());
    }();
    return path;
}

}  // namespace

void DecodeMpeg(const uint8_t* data, size_t size) {
    if (size < 2) return;
    mpeg::DecoderOptions options;
    options.downSamplingShift = data[0] % 3;
    options.outputFlags = (data[1] & 3) | ((data[1] & 4) ? mpeg::kOutputFlag8Bit : 0);
    constexpr int32_t kLimits[4] = {24000, 11025, 4000, 0};
    options.frequencyLimitHz = kLimits[(data[1] >> 3) & 3];
    // An exactly sized copy, so any read past the end is caught.
    const std::vector<uint8_t> file(data + 2, data + size);

    mpeg::DecoderPtr decoder = mpeg::CreateDecoder();
    mpeg::SetDecoderOptions(*decoder, options);
    MemorySource source(file);
    MpegStream stream;
    if (OpenMpegStream(*decoder, source, stream, /*keepOptions=*/true) != FileProblem::kNone)
        return;
    MpegFrameWalk& walk = *stream.walk;
    std::vector<uint8_t> out(size_t(walk.info().outputBytesPerFrame));
    while (!walk.AtEnd()) walk.DecodeNext(out.data());
}

void PlayFile(const uint8_t* data, size_t size) {
    constexpr size_t kScript = 8;
    if (size < kScript) return;
    const std::string path = ScratchPath();
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data + kScript, 1, size - kScript, f);
        std::fclose(f);
    }
    TestAudioDevice device;
    device.keepCopies = false;
    {
        PlayerEngine engine(device);
        const uint32_t endMs = data[0] & 1 ? kDefaultEndMs : uint32_t(data[0]) * 100;
        engine.Open(path, 0, endMs);
        // The script: each byte steps the run; completions dominate so runs reach their end.
        for (int step = 0; step < 400 && engine.state() != NoFile; ++step) {
            const uint8_t op = data[1 + step % (kScript - 1)] >> ((step / 7) % 5);
            switch (op % 16) {
                case 0:
                    engine.Stop();
                    break;
                case 1:
                    engine.Restart();
                    break;
                case 2:
                    engine.TogglePause();
                    break;
                default:
                    if (engine.state() == Paused) engine.TogglePause();
                    if (!device.CompleteOldest() && engine.state() != Playing) step += 50;
                    break;
            }
        }
        engine.Close();
    }
    std::remove(path.c_str());
}

void MarkBeatsOf(const uint8_t* data, size_t size) {
    if (size < 7) return;
    const int32_t channels = data[0] % 4;  // 0 and 3 included: must be handled
    const uint32_t rate = (uint32_t(data[1]) << 8 | data[2]) * 8;
    uint32_t analysed;
    std::memcpy(&analysed, data + 3, 4);
    const std::vector<uint8_t> pcm(data + 7, data + size);
    BeatMarker markers[kMaxBeatMarkers];
    const uint32_t count =
        MarkBeats(pcm.data(), uint32_t(pcm.size()), channels, rate, analysed, markers);
    if (count > kMaxBeatMarkers) __builtin_trap();
}

void ReadTagsOf(const uint8_t* data, size_t size) {
    const std::string path = ScratchPath();
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    const SongTags tags = ReadSongTags(path);
    std::remove(path.c_str());
    for (const std::string* text : {&tags.title, &tags.artist, &tags.album})
        if (text->size() > kMaxTagTextBytes || CleanTagText(*text) != *text) __builtin_trap();
    if (tags.trackNumber < 0 || tags.lengthMs < 0) __builtin_trap();
    if (tags.cover.data.size() > kMaxCoverBytes ||
        tags.cover.empty() != tags.cover.mimeType.empty())
        __builtin_trap();
    if (!tags.cover.empty()) {
        const std::string folder = path + "-covers";
        if (SaveCover(tags.cover, folder).empty()) __builtin_trap();
        std::filesystem::remove_all(folder);
    }
}

}  // namespace zirvak::fuzz
