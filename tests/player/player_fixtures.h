// Files and helpers the engine tests share: a temporary folder, WAV files in each header
// layout, MPEG streams cut at frame boundaries, and zirvak-cli's render and decode output.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "player_engine.h"
#include "player_engine_test_peer.h"
#include "test_audio_device.h"
#include "wav_file.h"

namespace zirvak::test {

using Bytes = std::vector<uint8_t>;

// A fresh folder under the system's temporary folder, removed with its contents.
struct TempDir {
    TempDir();
    TempDir(const TempDir&) = delete;
    ~TempDir();
    std::string Path(const std::string& name) const { return dir + "/" + name; }
    std::string dir;
};

// Writes `bytes` to `path` and returns the path.
std::string WriteBytes(const std::string& path, std::span<const uint8_t> bytes);

struct WavParams {
    uint32_t dataStart = 44;  // 44 plain, 56 or 58 with an 18-byte format and a fact chunk
    uint16_t formatTag = 1;   // 1 PCM, 3 float
    uint16_t channels = 2;
    uint32_t sampleRate = 44100;
    uint16_t bits = 16;
    std::optional<uint32_t> declaredBytes;  // the data size field; the sample count by default
};
Bytes MakeWav(const WavParams& params, std::span<const uint8_t> samples);

// Interleaved 16-bit PCM that does not repeat within a chunk, so a wrong offset never matches.
Bytes Pcm16Pattern(uint32_t frames, int channels);

// RIFF chunks: an id and its data, padded to an even size.
Bytes RiffChunk(std::string_view id, std::span<const uint8_t> data);
// A "LIST" chunk of type "INFO": pairs of a four-letter field id ("INAM" the title, "IART" the
// artist...) and its text, each NUL-terminated.
Bytes InfoList(const std::vector<std::pair<std::string, std::string>>& fields);
// A WAV file: "fmt ", then `before`, "data" with `pcm` (16-bit stereo 44100 Hz), then `after`.
Bytes WavFile(std::span<const uint8_t> pcm, const std::vector<Bytes>& before,
              const std::vector<Bytes>& after);
// `wav` with an INFO list of `fields` after its data; the RIFF size is updated.
Bytes WithRiffInfo(Bytes wav, const std::vector<std::pair<std::string, std::string>>& fields);
Bytes Concat(std::initializer_list<std::span<const uint8_t>> parts);
// 16-bit PCM scaled by `gain` as the sound output scales it: each sample rounded, halves away
// from zero, and clipped.
Bytes Scaled(std::span<const uint8_t> pcm, double gain);

// Byte offsets of the frames of an MPEG file, followed by the end of the last frame.
std::vector<size_t> FrameOffsets(std::span<const uint8_t> file);
Bytes FirstFrames(std::span<const uint8_t> file, size_t n);
Bytes Sample();  // res/sample.mp2: MPEG-1 Layer II, 44100 Hz stereo, 154 frames
// Encodes `wav` with lame (arguments such as "-b 128") into `dir`/`name`.mp3.
std::string EncodeMp3(const TempDir& dir, const std::string& name, std::span<const uint8_t> wav,
                      const std::string& lameArgs);

// Encodes `wav` with flac (arguments such as "--blocksize=4096") into `dir`/`name`.flac.
std::string EncodeFlac(const TempDir& dir, const std::string& name, std::span<const uint8_t> wav,
                       const std::string& flacArgs = "");
// Encodes `wav` with oggenc into `dir`/`name`.ogg, or with opusenc into `dir`/`name`.opus.
std::string EncodeVorbis(const TempDir& dir, const std::string& name, std::span<const uint8_t> wav);
std::string EncodeOpus(const TempDir& dir, const std::string& name, std::span<const uint8_t> wav);

// Every byte the engine plays of `path`, from Open to the end, on a stepped test device.
Bytes PlayToTheEnd(const std::string& path);

// zirvak-cli render and decode of `path` to a WAV file in `dir`: the sample bytes written.
Bytes Render(const TempDir& dir, const std::string& path);
// With `gapless`, MPEG songs without their encoder's delay and padding, as the players play them.
Bytes Decode(const TempDir& dir, const std::string& path, bool gapless = false);

// Runs a shell command (an encoder or a reference decoder) and fails the test unless it
// succeeds.
void RunTool(const std::string& command);

// 16-bit samples and how far two runs of them differ.
std::vector<int16_t> AsSamples(std::span<const uint8_t> bytes);
int16_t Rounded(double v);  // to the nearest, halves up, clamped to 16 bits
// The largest difference sample by sample over the samples both have.
int MostDifference(const std::vector<int16_t>& got, const std::vector<int16_t>& want);
// Frames of six channels mixed to stereo as the player mixes them (centre and surrounds at
// -3 dB, the low-frequency channel left out), rounded; `order` names where left, right, centre,
// back left and back right sit in a frame.
struct SixChannels {
    int left, right, centre, backLeft, backRight;
};
std::vector<int16_t> MixedToStereo(const std::vector<double>& frames, SixChannels order);

// A damaged copy of a good file, and what playing it must do: play the good file's length
// (damage in the middle) or less (a file cut short); `mayBeRefused` when nothing of it can play.
struct DamagedFile {
    std::string name;
    Bytes bytes;
    bool keepsLength;
    bool mayBeRefused = false;
};
// Plays `f` (written in `dir`) to its end and checks it against `whole`, the good file's
// playback, whose first `intact` bytes it must also play. The path, or none when refused.
std::optional<std::string> PlayDamaged(const TempDir& dir, const DamagedFile& f, const Bytes& whole,
                                       size_t intact);

// Files shared by the cases of a test program, made on first use.
struct CommonFiles {
    CommonFiles();
    TempDir dir;
    std::string wav;       // 16-bit stereo 44100 Hz, 2.5 chunks: buffers 0 to 2
    std::string wavShort;  // 16-bit stereo, less than one chunk
    std::string mp2;       // res/sample.mp2: buffers 0 to 2
    std::string mp3;       // 3 s of MPEG-1 Layer III from lame, 128 kbit/s: buffers 0 and 1
    std::string missing;   // no such file
};
const CommonFiles& Files();

}  // namespace zirvak::test
