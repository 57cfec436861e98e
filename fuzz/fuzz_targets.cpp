#include "fuzz_targets.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "beat_markers.h"
#include "cover_cache.h"
#include "format_table.h"
#include "input_file.h"
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

void WriteScratch(const std::string& path, const uint8_t* data, size_t size) {
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
}

// Buffers filled at most by the run from the start and by the run after the seek. A buffer is
// 64 frames or 65536 sample frames, more than a second of sound, so a sound of a few seconds
// plays whole.
constexpr uint32_t kMostBuffersFromStart = 8;
constexpr uint32_t kMostBuffersAfterSeek = 3;
// No source fills a buffer larger than this (a few hundred KiB at most).
constexpr uint32_t kMostBufferBytes = 1 << 20;

// What one run played.
struct Run {
    bool started = false;
    std::vector<uint8_t> first;  // the bytes of its first buffer
    uint64_t startFrame = 0;
    bool whole = false;   // every buffer up to the last was filled, none came short
    uint64_t frames = 0;  // the sample frames of the buffers filled
};

// The checks every buffer passes: whole sample frames, no larger than any source fills,
// readable to its last byte.
void CheckBuffer(const SourceBuffer& got, uint32_t frameBytes) {
    if (got.length % frameBytes != 0 || got.length > kMostBufferBytes) __builtin_trap();
    if (got.length > 0) {
        // Reads both ends, so that a buffer shorter than it says is caught by AddressSanitizer.
        const uint8_t ends = got.data[0] ^ got.data[got.length - 1];
        asm volatile("" : : "r"(ends));
    }
}

// One run of `source`, from the start or from `seekMs`, filled up to `mostBuffers` buffers.
Run PlayRun(AudioSource& source, std::optional<uint32_t> seekMs, uint32_t mostBuffers) {
    Run played;
    const RunStart run = source.Start(seekMs);
    if (run.problem != FileProblem::kNone || run.noBufferMemory) return played;
    played.started = true;
    const AudioFormat format = source.format();
    if (format.channels < 1 || format.channels > 2 || format.sampleRateHz <= 0) __builtin_trap();
    if (!seekMs && run.startFrame != 0) __builtin_trap();
    // A first buffer that came short is the run's last.
    if (run.first.cameShort && run.lastBufferIndex != 0) __builtin_trap();
    const uint32_t frameBytes = uint32_t(format.channels) * 2;
    played.first.assign(run.first.data, run.first.data + run.first.length);
    played.startFrame = run.startFrame;
    // A run of nothing at all is allowed: where damage stops the seek to its start.
    if (run.first.length == 0 && run.lastBufferIndex == 0) return played;
    uint32_t middle = 0;  // the length of the buffers between the first and the last
    for (uint32_t index = 0; index <= run.lastBufferIndex && index <= mostBuffers; ++index) {
        const SourceBuffer got = index == 0 ? run.first : source.Fill(uint8_t(index & 1), index);
        CheckBuffer(got, frameBytes);
        played.frames += got.length / frameBytes;
        if (index > 0 && index < run.lastBufferIndex) {
            if (middle == 0 && !got.cameShort) middle = got.length;
            // All of one length, and one that came short is shorter.
            if (!got.cameShort && got.length != middle) __builtin_trap();
            if (got.cameShort && middle != 0 && got.length >= middle) __builtin_trap();
        }
        // Neither the first nor the last buffer holds more than those between them.
        if (middle != 0 && (run.first.length > middle || got.length > middle)) __builtin_trap();
        if (got.cameShort) return played;
        played.whole = index == run.lastBufferIndex;
    }
    return played;
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
    WriteScratch(path, data + kScript, size - kScript);
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
    WriteScratch(path, data, size);
    MemorySource bytes({data, size});
    const SongTags tags = ReadSongTags(path, FormatOf(bytes).tags);
    std::remove(path.c_str());
    for (const std::string* text : {&tags.title, &tags.artist, &tags.album})
        if (text->size() > kMaxTagTextBytes || CleanTagText(*text) != *text) __builtin_trap();
    if (tags.trackNumber < 0 || tags.lengthMs < 0) __builtin_trap();
    // A gain is applied to the sound: never one beyond +-24 dB, never a peak that is no number.
    const ReplayGainValues& gain = tags.replayGain;
    for (const std::optional<double>& db : {gain.trackGainDb, gain.albumGainDb})
        if (db && !(std::abs(*db) <= 24)) __builtin_trap();
    for (const std::optional<double>& peak : {gain.trackPeak, gain.albumPeak})
        if (peak && !(*peak > 0 && *peak <= 100)) __builtin_trap();
    if (tags.cover.data.size() > kMaxCoverBytes ||
        tags.cover.empty() != tags.cover.mimeType.empty())
        __builtin_trap();
    if (!tags.cover.empty()) {
        const std::string folder = path + "-covers";
        if (SaveCover(tags.cover, folder).empty()) __builtin_trap();
        std::filesystem::remove_all(folder);
    }
}

// The bytes after the first two as a file of the format the table finds, a run from its start,
// then one after a seek that the first two bytes choose: a point in the sound (most values), or
// past its end (the top sixteenth), then the start again.
void PlaySourceOf(const uint8_t* data, size_t size) {
    constexpr size_t kSeekBytes = 2;
    if (size < kSeekBytes) return;
    const std::string path = ScratchPath();
    WriteScratch(path, data + kSeekBytes, size - kSeekBytes);
    {
        InputFile file;
        if (file.Open(path) == FileProblem::kNone) {
            const bool gapless = data[1] & 1;
            const std::unique_ptr<AudioSource> source =
                FormatOf(file).makeSource(file, {0, kWholeStreamMs, gapless});
            const Run first = PlayRun(*source, std::nullopt, kMostBuffersFromStart);
            const uint32_t choice = uint32_t(data[0]) << 8 | data[1];
            const uint64_t lengthMs = source->lengthMs();
            const uint64_t rate = uint64_t(std::max(source->format().sampleRateHz, 1));
            // The length the source says is that of the run it plays, to the millisecond; an
            // MPEG stream's run also plays its VBR header's frame (of up to 1152 samples) as
            // silence, which its length leaves out.
            const uint64_t playedMs = first.frames * 1000 / rate;
            if (first.whole &&
                (playedMs + 1 < lengthMs || playedMs > lengthMs + 1 + 1152 * 1000 / rate))
                __builtin_trap();
            const uint64_t seekMs = choice < 0xF000    ? lengthMs * choice / 0xF000
                                    : choice == 0xFFFF ? UINT32_MAX
                                                       : lengthMs + (choice & 0xFFF);
            const Run after = PlayRun(*source, uint32_t(std::min<uint64_t>(seekMs, UINT32_MAX)),
                                      kMostBuffersAfterSeek);
            // After the seek, what is left of the song from where it landed.
            if (first.whole && after.started &&
                (after.startFrame > first.frames ||
                 (after.whole && after.frames != first.frames - after.startFrame)))
                __builtin_trap();
            // Back at the start, the run plays what the first run played.
            if (PlayRun(*source, std::nullopt, 0).first != first.first) __builtin_trap();
        }
    }
    std::remove(path.c_str());
}

}  // namespace zirvak::fuzz
