#include "fuzz_targets.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "beat_markers.h"
#include "flac_source.h"
#include "input_file.h"
#include "memory_source.h"
#include "mpeg_stream.h"
#include "opus_source.h"
#include "player_engine.h"
#include "song_tags.h"
#include "tag_text.h"
#include "test_audio_device.h"
#include "vorbis_source.h"

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
// 65536 sample frames, more than a second of sound, so a sound of a few seconds plays whole.
constexpr uint32_t kMostBuffersFromStart = 8;
constexpr uint32_t kMostBuffersAfterSeek = 3;

// The checks every buffer of a run passes: whole sample frames, no more than a buffer holds,
// readable to its last byte; and one that did not come short is as long as the run said.
void CheckBuffer(const SourceBuffer& got, uint32_t index, uint32_t lastIndex, uint64_t runBytes,
                 uint32_t frameBytes, uint64_t bufferBytes) {
    if (got.length % frameBytes != 0 || got.length > bufferBytes) __builtin_trap();
    if (got.length > 0) {
        // Reads both ends, so that a buffer shorter than it says is caught by AddressSanitizer.
        const uint8_t ends = got.data[0] ^ got.data[got.length - 1];
        asm volatile("" : : "r"(ends));
    }
    const uint64_t expected = index < lastIndex ? bufferBytes : runBytes - index * bufferBytes;
    if (!got.cameShort && got.length != expected) __builtin_trap();
    if (got.cameShort && got.length >= expected) __builtin_trap();
}

// One run of `source`, from the start or from `seekMs`, filled up to `mostBuffers` buffers.
// Returns the bytes of its first buffer.
template <class Source>
std::vector<uint8_t> PlayRun(Source& source, std::optional<uint32_t> seekMs, uint32_t mostBuffers) {
    const RunStart run = source.Start(seekMs);
    if (run.problem != FileProblem::kNone || run.noBufferMemory) return {};
    const AudioFormat format = source.format();
    if (format.channels < 1 || format.channels > 2 || format.sampleRateHz <= 0) __builtin_trap();
    const uint64_t total = source.totalFrames();
    if (run.startFrame > total || (!seekMs && run.startFrame != 0)) __builtin_trap();
    const uint32_t frameBytes = uint32_t(format.channels) * 2;
    const uint64_t bufferBytes = uint64_t(Source::kFramesPerBuffer) * frameBytes;
    const uint64_t runBytes = (total - run.startFrame) * frameBytes;
    std::vector<uint8_t> first(run.first.data, run.first.data + run.first.length);
    // A run of nothing at all is allowed: where damage stops the seek to its start.
    if (run.first.length == 0 && run.lastBufferIndex == 0) return first;
    // The last index covers the run, unless the first buffer already came short.
    const uint64_t lastIndex = run.first.cameShort ? 0 : runBytes / bufferBytes;
    if (run.lastBufferIndex != lastIndex) __builtin_trap();
    CheckBuffer(run.first, 0, run.lastBufferIndex, runBytes, frameBytes, bufferBytes);
    if (run.first.cameShort) return first;
    for (uint32_t index = 1; index <= run.lastBufferIndex && index <= mostBuffers; ++index) {
        const SourceBuffer got = source.Fill(uint8_t(index & 1), index);
        CheckBuffer(got, index, run.lastBufferIndex, runBytes, frameBytes, bufferBytes);
        if (got.cameShort) break;
    }
    return first;
}

// The body of the FLAC, Vorbis and Opus targets: the bytes after the first two as a file of
// `Source`'s kind, a run from its start, then one after a seek that the first two bytes choose:
// a point in the sound (most values), or past its end (the top sixteenth).
template <class Source>
void PlaySource(const uint8_t* data, size_t size) {
    constexpr size_t kSeekBytes = 2;
    if (size < kSeekBytes) return;
    const std::string path = ScratchPath();
    WriteScratch(path, data + kSeekBytes, size - kSeekBytes);
    {
        InputFile file;
        if (file.Open(path) == FileProblem::kNone) {
            Source source(file);
            const std::vector<uint8_t> first = PlayRun(source, std::nullopt, kMostBuffersFromStart);
            const uint32_t choice = uint32_t(data[0]) << 8 | data[1];
            const uint64_t lengthMs = source.lengthMs();
            const uint64_t seekMs = choice < 0xF000    ? lengthMs * choice / 0xF000
                                    : choice == 0xFFFF ? UINT32_MAX
                                                       : lengthMs + (choice & 0xFFF);
            PlayRun(source, uint32_t(std::min<uint64_t>(seekMs, UINT32_MAX)),
                    kMostBuffersAfterSeek);
            // Back at the start, the run plays what the first run played.
            if (PlayRun(source, std::nullopt, 0) != first) __builtin_trap();
        }
    }
    std::remove(path.c_str());
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
    const SongTags tags = ReadSongTags(path);
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

void PlayFlac(const uint8_t* data, size_t size) {
    PlaySource<FlacSource>(data, size);
}

void PlayVorbis(const uint8_t* data, size_t size) {
    PlaySource<VorbisSource>(data, size);
}

void PlayOpus(const uint8_t* data, size_t size) {
    PlaySource<OpusSource>(data, size);
}

}  // namespace zirvak::fuzz
