// Files and helpers the engine tests share: a temporary folder, WAV files written byte by byte
// in each header layout, MPEG streams cut or wrapped at frame boundaries, and runs played to
// their end on the stepped device.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "player_engine.h"
#include "stepped_audio_device.h"

namespace zirvak::test {

using Bytes = std::vector<uint8_t>;

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

private:
    std::string dir_;
};

void WriteBytes(const std::string& path, std::span<const uint8_t> bytes);

// Where the samples of each header layout start.
enum class WavLayout : uint32_t { kPlain = 44, kFact16 = 56, kFact18 = 58 };

struct WavParams {
    WavLayout layout = WavLayout::kPlain;
    uint16_t formatTag = 1;  // 1 PCM, 3 float
    uint16_t channels = 2;
    uint32_t sampleRate = 44100;
    uint16_t bits = 16;
    std::optional<uint32_t> declaredBytes;  // the data size field; the sample count by default
};

Bytes MakeWav(const WavParams& params, std::span<const uint8_t> samples);

// `frames` frames of interleaved 16-bit PCM in a pattern that does not repeat within a chunk,
// so that bytes from a wrong offset never match.
Bytes Pcm16Pattern(uint32_t frames, int channels);

Bytes Concat(std::initializer_list<std::span<const uint8_t>> parts);

// Byte offsets of the frames of an MPEG file, followed by the end of the last frame.
std::vector<size_t> FrameOffsets(std::span<const uint8_t> file);
// The first `n` frames of an MPEG file.
Bytes FirstFrames(std::span<const uint8_t> file, size_t n);

Bytes Sample();  // res/sample.mp2: MPEG-1 Layer II, 44100 Hz stereo, 154 frames

// Encodes `wav` with lame (extra arguments such as "-b 128") into an MP3 file.
std::string EncodeMp3(const TempDir& dir, const std::string& name, std::span<const uint8_t> wav,
                      const std::string& lameArgs);

// Stereo 16-bit PCM of a tone with a beat every half second.
Bytes TonePcm(uint32_t frames, uint32_t sampleRate);

// The sample bytes of a WAV file written by zirvak-cli (after its 44-byte header).
Bytes WavData(const std::string& path);

// zirvak-cli render and decode, to WAV files in `dir`; the sample bytes they wrote.
Bytes Render(const TempDir& dir, const std::string& path);
Bytes Decode(const TempDir& dir, const std::string& path);

// Files made when first asked for, once per test program, and shared by its cases.
class CommonFiles {
public:
    const TempDir dir;
    const std::string& wav() const;       // 16-bit stereo 44100 Hz, 2.5 chunks: buffers 0 to 2
    const std::string& wavShort() const;  // 16-bit stereo, less than one chunk
    const std::string& mp2() const;       // res/sample.mp2: buffers 0 to 2
    const std::string& mp2Short() const;  // its first 40 frames: one buffer
    const std::string& mp3() const;       // 3 s of MPEG-1 Layer III from lame, 128 kbit/s
    const std::string& mp3Vbr() const;    // the same at variable bit rate, with a Xing header
    const std::string& mp3Low() const;    // 12 s of MPEG-2.5 Layer III, 8000 Hz mono: 3 buffers
    const std::string& badTag() const;    // an ID3v2 tag whose size runs past the end of the file
    const std::string& missing() const;   // no such file
    const std::string& empty() const;     // 0 bytes
    const std::string& junk() const;      // bytes with no frame in them

private:
    const std::string& Make(const std::string& name, Bytes (*contents)()) const;
    mutable std::map<std::string, std::string> made_;
};
const CommonFiles& Files();

}  // namespace zirvak::test
