#include "player_fixtures.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "commands.h"
#include "mpeg_source.h"
#include "support/fixtures.h"

namespace zirvak::test {

namespace {

void Put(uint8_t* p, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) p[i] = uint8_t(v >> (8 * i));
}

Bytes CliOutput(const TempDir& dir, const std::string& path,
                int (*run)(const std::string&, const std::string&)) {
    static std::atomic<int> counter{0};
    const std::string out = dir.Path("cli" + std::to_string(counter++) + ".wav");
    EXPECT_EQ(run(path, out), 0) << path;
    const Bytes file = ReadFileBytes(out);
    return file.size() < 44 ? Bytes{} : Bytes(file.begin() + 44, file.end());
}

}  // namespace

TempDir::TempDir() {
    dir = (std::filesystem::temp_directory_path() / "zirvak-test-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr) ADD_FAILURE() << "cannot make " << dir;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

std::string WriteBytes(const std::string& path, std::span<const uint8_t> bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

Bytes MakeWav(const WavParams& p, std::span<const uint8_t> samples) {
    const uint32_t start = p.dataStart, blockAlign = uint32_t(p.channels) * p.bits / 8;
    Bytes file(start, 0);
    uint8_t* h = file.data();
    std::memcpy(h, "RIFFxxxxWAVEfmt ", 16);
    Put(h + 4, uint32_t(start - 8 + samples.size()), 4);
    Put(h + 16, start == 58 ? 18 : 16, 4);
    Put(h + 20, p.formatTag, 2);
    Put(h + 22, p.channels, 2);
    Put(h + 24, p.sampleRate, 4);
    Put(h + 28, p.sampleRate * blockAlign, 4);
    Put(h + 32, blockAlign, 2);
    Put(h + 34, p.bits, 2);
    if (start != 44) {  // cbSize 0 (18-byte format only), then a fact chunk with the frame count
        std::memcpy(h + start - 20, "fact\4\0\0\0", 8);
        Put(h + start - 12, uint32_t(samples.size() / blockAlign), 4);
    }
    std::memcpy(h + start - 8, "data", 4);
    Put(h + start - 4, p.declaredBytes.value_or(uint32_t(samples.size())), 4);
    file.insert(file.end(), samples.begin(), samples.end());
    return file;
}

Bytes Pcm16Pattern(uint32_t frames, int channels) {
    Bytes pcm(size_t(frames) * size_t(channels) * 2);
    for (size_t i = 0; i < pcm.size() / 2; ++i) Put(&pcm[2 * i], uint32_t(i * 7919 + (i >> 16)), 2);
    return pcm;
}

Bytes Concat(std::initializer_list<std::span<const uint8_t>> parts) {
    Bytes all;
    for (auto part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::vector<size_t> FrameOffsets(std::span<const uint8_t> file) {
    mpeg::DecoderPtr decoder = mpeg::CreateDecoder();
    MemorySource source(file);
    MpegStream stream;
    std::vector<size_t> offsets;
    if (OpenMpegStream(*decoder, source, stream) != FileProblem::kNone) return offsets;
    MpegFrameWalk& walk = *stream.walk;
    for (; !walk.AtEnd(); walk.SkipNext()) offsets.push_back(size_t(walk.offset()));
    offsets.push_back(size_t(walk.lastFrameEnd()));
    return offsets;
}

Bytes FirstFrames(std::span<const uint8_t> file, size_t n) {
    const std::vector<size_t> offsets = FrameOffsets(file);
    return Bytes(file.begin() + ptrdiff_t(offsets[0]), file.begin() + ptrdiff_t(offsets[n]));
}

Bytes Sample() {
    return ReadFileBytes(RepoPath("res/sample.mp2"));
}

std::string EncodeMp3(const TempDir& dir, const std::string& name, std::span<const uint8_t> wav,
                      const std::string& lameArgs) {
    const std::string in = WriteBytes(dir.Path(name + ".wav"), wav), out = dir.Path(name + ".mp3");
    const std::string command = "lame --quiet " + lameArgs + " '" + in + "' '" + out + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return out;
}

Bytes PlayToTheEnd(const std::string& path) {
    TestAudioDevice device;
    PlayerEngine engine(device);
    EXPECT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenStarted) << path;
    device.CompleteAll();
    return device.AllBytes();
}

Bytes Render(const TempDir& dir, const std::string& path) {
    return CliOutput(dir, path, cli::RunRender);
}

Bytes Decode(const TempDir& dir, const std::string& path) {
    return CliOutput(dir, path, cli::RunDecode);
}

CommonFiles::CommonFiles()
    : wav(WriteBytes(dir.Path("stereo.wav"),
                     MakeWav({}, Pcm16Pattern(kWavChunkBytes * 5 / 2 / 4, 2)))),
      wavShort(WriteBytes(dir.Path("short.wav"), MakeWav({}, Pcm16Pattern(10000, 2)))),
      mp2(RepoPath("res/sample.mp2")),
      mp3(EncodeMp3(dir, "tone", MakeWav({}, Pcm16Pattern(3 * 44100, 2)), "-b 128")),
      missing(dir.Path("missing.wav")) {}

const CommonFiles& Files() {
    static const CommonFiles files;
    return files;
}

Bytes WithRiffInfo(Bytes wav, const std::vector<std::pair<std::string, std::string>>& fields) {
    auto le32 = [](size_t v) {
        return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    };
    std::string list = "INFO";
    for (const auto& [id, text] : fields) {
        std::string value = text + '\0';
        list += id + le32(value.size()) + value;
        if (value.size() % 2) list += '\0';  // chunks start on even offsets
    }
    list = "LIST" + le32(list.size()) + list;
    wav.insert(wav.end(), list.begin(), list.end());
    const std::string riffSize = le32(wav.size() - 8);
    std::copy(riffSize.begin(), riffSize.end(), wav.begin() + 4);
    return wav;
}

}  // namespace zirvak::test
