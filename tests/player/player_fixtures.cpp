#include "player_fixtures.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "commands.h"
#include "mpeg_source.h"
#include "support/fixtures.h"

namespace zirvak::test {

namespace {

void Put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

std::string NextName(const std::string& stem) {
    static std::atomic<int> counter{0};
    return stem + std::to_string(counter++) + ".wav";
}

}  // namespace

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zirvak-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot make " << pattern;
    dir_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

void WriteBytes(const std::string& path, std::span<const uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes MakeWav(const WavParams& params, std::span<const uint8_t> samples) {
    const uint32_t start = uint32_t(params.layout);
    Bytes file(start, 0);
    uint8_t* h = file.data();
    const uint32_t blockAlign = uint32_t(params.channels) * params.bits / 8;
    std::memcpy(h, "RIFF", 4);
    Put32(h + 4, uint32_t(start - 8 + samples.size()));
    std::memcpy(h + 8, "WAVEfmt ", 8);
    Put32(h + 16, params.layout == WavLayout::kFact18 ? 18 : 16);
    Put16(h + 20, params.formatTag);
    Put16(h + 22, params.channels);
    Put32(h + 24, params.sampleRate);
    Put32(h + 28, params.sampleRate * blockAlign);
    Put16(h + 32, blockAlign);
    Put16(h + 34, params.bits);
    if (params.layout != WavLayout::kPlain) {
        // cbSize 0 (18-byte format only), then a "fact" chunk with the frame count.
        const uint32_t fact = params.layout == WavLayout::kFact18 ? 38 : 36;
        std::memcpy(h + fact, "fact", 4);
        Put32(h + fact + 4, 4);
        Put32(h + fact + 8, uint32_t(samples.size() / blockAlign));
    }
    std::memcpy(h + start - 8, "data", 4);
    Put32(h + start - 4, params.declaredBytes.value_or(uint32_t(samples.size())));
    file.insert(file.end(), samples.begin(), samples.end());
    return file;
}

Bytes Pcm16Pattern(uint32_t frames, int channels) {
    Bytes pcm(size_t(frames) * size_t(channels) * 2);
    for (size_t i = 0; i < pcm.size() / 2; ++i) Put16(&pcm[2 * i], uint32_t(i * 7919 + (i >> 16)));
    return pcm;
}

Bytes Concat(std::initializer_list<std::span<const uint8_t>> parts) {
    Bytes all;
    for (auto part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::vector<size_t> FrameOffsets(std::span<const uint8_t> file) {
    mpeg::DecoderPtr decoder = mpeg::CreateDecoder();
    MpegAudioBounds bounds;
    std::vector<size_t> offsets;
    if (!LocateMpegAudio(*decoder, file, bounds)) return offsets;
    MpegFrameWalk walk(*decoder, file.data() + bounds.firstFrame,
                       file.data() + bounds.audioStart + bounds.audioBytes);
    if (!walk.SetUp()) return offsets;
    while (!walk.AtEnd()) {
        offsets.push_back(bounds.firstFrame + walk.offset());
        walk.SkipNext();
    }
    offsets.push_back(bounds.firstFrame + walk.offset());
    return offsets;
}

Bytes FirstFrames(std::span<const uint8_t> file, size_t n) {
    const std::vector<size_t> offsets = FrameOffsets(file);
    EXPECT_LT(n, offsets.size());
    return Bytes(file.begin() + ptrdiff_t(offsets[0]), file.begin() + ptrdiff_t(offsets[n]));
}

Bytes Sample() {
    return ReadFileBytes(RepoPath("res/sample.mp2"));
}

std::string EncodeMp3(const TempDir& dir, const std::string& name, std::span<const uint8_t> wav,
                      const std::string& lameArgs) {
    const std::string in = dir.Path(name + ".wav");
    const std::string out = dir.Path(name + ".mp3");
    WriteBytes(in, wav);
    const std::string command = "lame --quiet " + lameArgs + " '" + in + "' '" + out + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return out;
}

Bytes TonePcm(uint32_t frames, uint32_t sampleRate) {
    Bytes pcm(size_t(frames) * 4);
    for (uint32_t i = 0; i < frames; ++i) {
        const double t = double(i) / sampleRate;
        const double beat = std::fmod(t, 0.5) < 0.05 ? 3.0 : 1.0;
        const auto left = int16_t(6000.0 * beat * std::sin(2 * M_PI * 440.0 * t));
        const auto right = int16_t(4000.0 * std::sin(2 * M_PI * 660.0 * t));
        Put16(&pcm[4 * size_t(i)], uint16_t(left));
        Put16(&pcm[4 * size_t(i) + 2], uint16_t(right));
    }
    return pcm;
}

Bytes WavData(const std::string& path) {
    Bytes file = ReadFileBytes(path);
    EXPECT_GE(file.size(), 44u) << path;
    if (file.size() < 44) return {};
    return Bytes(file.begin() + 44, file.end());
}

Bytes Render(const TempDir& dir, const std::string& path) {
    const std::string out = dir.Path(NextName("render"));
    EXPECT_EQ(cli::RunRender(path, out), 0) << path;
    return WavData(out);
}

Bytes Decode(const TempDir& dir, const std::string& path) {
    const std::string out = dir.Path(NextName("decode"));
    EXPECT_EQ(cli::RunDecode(path, out), 0) << path;
    return WavData(out);
}

const std::string& CommonFiles::Make(const std::string& name, Bytes (*contents)()) const {
    auto it = made_.find(name);
    if (it == made_.end()) {
        WriteBytes(dir.Path(name), contents());
        it = made_.emplace(name, dir.Path(name)).first;
    }
    return it->second;
}

namespace {

Bytes ToneWav() {
    return MakeWav({}, TonePcm(3 * 44100, 44100));
}

Bytes Mp3(const char* lameArgs, Bytes wav) {
    TempDir work;
    return ReadFileBytes(EncodeMp3(work, "file", wav, lameArgs));
}

}  // namespace

const std::string& CommonFiles::wav() const {
    return Make("stereo.wav",
                [] { return MakeWav({}, Pcm16Pattern(kWavChunkBytes * 5 / 2 / 4, 2)); });
}
const std::string& CommonFiles::wavShort() const {
    return Make("short.wav", [] { return MakeWav({}, Pcm16Pattern(10000, 2)); });
}
const std::string& CommonFiles::mp2() const {
    static const std::string path = RepoPath("res/sample.mp2");
    return path;
}
const std::string& CommonFiles::mp2Short() const {
    return Make("short.mp2", [] { return FirstFrames(Sample(), 40); });
}
const std::string& CommonFiles::mp3() const {
    return Make("tone.mp3", [] { return Mp3("-b 128", ToneWav()); });
}
const std::string& CommonFiles::mp3Vbr() const {
    return Make("vbr.mp3", [] { return Mp3("-V 4", ToneWav()); });
}
const std::string& CommonFiles::mp3Low() const {
    return Make("low.mp3", [] {
        WavParams mono;
        mono.channels = 1;
        mono.sampleRate = 8000;
        // The stereo tone's bytes taken as 12 s of mono.
        return Mp3("-b 8 --resample 8 -m m", MakeWav(mono, TonePcm(8000 * 12 / 2, 8000)));
    });
}
const std::string& CommonFiles::badTag() const {
    return Make("bad-tag.mp2", [] {
        const Bytes overlongTag = {'I', 'D', '3', 3, 0, 0, 0, 0x7F, 0, 0};  // 2 MB
        return Concat({overlongTag, Sample()});
    });
}
const std::string& CommonFiles::missing() const {
    static const std::string path = dir.Path("missing.wav");
    return path;
}
const std::string& CommonFiles::empty() const {
    return Make("empty.mp3", [] { return Bytes{}; });
}
const std::string& CommonFiles::junk() const {
    return Make("junk.mp3", [] { return Bytes(5000, 0x55); });
}

const CommonFiles& Files() {
    static const CommonFiles files;
    return files;
}

}  // namespace zirvak::test
