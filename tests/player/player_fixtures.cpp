#include "player_fixtures.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "commands.h"
#include "memory_source.h"
#include "mpeg_stream.h"
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

Bytes Scaled(std::span<const uint8_t> pcm, double gain) {
    Bytes out(pcm.size());
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
        const auto s = int16_t(pcm[i] | pcm[i + 1] << 8);
        const auto v = int16_t(std::clamp(std::round(s * gain), -32768.0, 32767.0));
        out[i] = uint8_t(v & 0xff);
        out[i + 1] = uint8_t(uint16_t(v) >> 8);
    }
    return out;
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

std::string EncodeFlac(const TempDir& dir, const std::string& name, std::span<const uint8_t> wav,
                       const std::string& flacArgs) {
    const std::string in = WriteBytes(dir.Path(name + ".wav"), wav), out = dir.Path(name + ".flac");
    const std::string command =
        "flac --silent --force " + flacArgs + " -o '" + out + "' '" + in + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return out;
}

std::string EncodeVorbis(const TempDir& dir, const std::string& name,
                         std::span<const uint8_t> wav) {
    const std::string in = WriteBytes(dir.Path(name + ".wav"), wav), out = dir.Path(name + ".ogg");
    const std::string command = "oggenc --quiet -o '" + out + "' '" + in + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return out;
}

std::string EncodeOpus(const TempDir& dir, const std::string& name, std::span<const uint8_t> wav) {
    const std::string in = WriteBytes(dir.Path(name + ".wav"), wav), out = dir.Path(name + ".opus");
    const std::string command = "opusenc --quiet '" + in + "' '" + out + "'";
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
    return CliOutput(dir, path, [](const std::string& in, const std::string& out) {
        return cli::RunRender({in}, out, {});
    });
}

Bytes Decode(const TempDir& dir, const std::string& path, bool gapless) {
    if (gapless) {
        return CliOutput(dir, path, [](const std::string& in, const std::string& out) {
            return cli::RunDecode(in, out, {.replayGain = std::nullopt, .gapless = true});
        });
    }
    return CliOutput(dir, path, [](const std::string& in, const std::string& out) {
        return cli::RunDecode(in, out, {});
    });
}

void RunTool(const std::string& command) {
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

std::vector<int16_t> AsSamples(std::span<const uint8_t> bytes) {
    std::vector<int16_t> out(bytes.size() / 2);
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

int16_t Rounded(double v) {
    return int16_t(std::clamp(std::floor(v + 0.5), -32768.0, 32767.0));
}

int MostDifference(const std::vector<int16_t>& got, const std::vector<int16_t>& want) {
    int most = 0;
    for (size_t i = 0; i < std::min(got.size(), want.size()); ++i)
        most = std::max(most, std::abs(int(got[i]) - int(want[i])));
    return most;
}

std::vector<int16_t> MixedToStereo(const std::vector<double>& frames, SixChannels order) {
    constexpr double kMinus3dB = 0.7071;
    std::vector<int16_t> out;
    for (size_t i = 0; i + 5 < frames.size(); i += 6) {
        const double* f = &frames[i];
        out.push_back(
            Rounded(f[order.left] + kMinus3dB * f[order.centre] + kMinus3dB * f[order.backLeft]));
        out.push_back(
            Rounded(f[order.right] + kMinus3dB * f[order.centre] + kMinus3dB * f[order.backRight]));
    }
    return out;
}

std::optional<std::string> PlayDamaged(const TempDir& dir, const DamagedFile& f, const Bytes& whole,
                                       size_t intact) {
    const std::string path = WriteBytes(dir.Path(f.name), f.bytes);
    TestAudioDevice device;
    PlayerEngine engine(device);
    if (engine.Open(path, 0, kDefaultEndMs) != kOpenStarted) {
        EXPECT_TRUE(f.mayBeRefused) << "refused";
        return std::nullopt;
    }
    device.CompleteAll();
    EXPECT_TRUE(engine.endReached());
    const Bytes played = device.AllBytes();
    if (f.keepsLength) {
        EXPECT_EQ(played.size(), whole.size());
    } else {
        EXPECT_LT(played.size(), whole.size());
    }
    const size_t before = std::min(played.size(), intact);
    EXPECT_TRUE(std::equal(played.begin(), played.begin() + ptrdiff_t(before), whole.begin()));
    return path;
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

namespace {

Bytes Le32(size_t value) {
    return {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
}

Bytes Text(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

}  // namespace

Bytes RiffChunk(std::string_view id, std::span<const uint8_t> data) {
    Bytes chunk = Concat({Text(id), Le32(data.size()), data});
    if (data.size() % 2) chunk.push_back(0x00);
    return chunk;
}

Bytes InfoList(const std::vector<std::pair<std::string, std::string>>& fields) {
    Bytes list = Text("INFO");
    for (const auto& [id, text] : fields) {
        Bytes value = Text(text);
        value.push_back(0x00);
        list = Concat({list, RiffChunk(id, value)});
    }
    return RiffChunk("LIST", list);
}

Bytes WavFile(std::span<const uint8_t> pcm, const std::vector<Bytes>& before,
              const std::vector<Bytes>& after) {
    // PCM, two channels, 44100 Hz, 176400 bytes a second, 4-byte frames of 16 bits.
    const Bytes format = {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0};
    Bytes body = Concat({Text("WAVE"), RiffChunk("fmt ", format)});
    for (const Bytes& chunk : before) body = Concat({body, chunk});
    body = Concat({body, RiffChunk("data", pcm)});
    for (const Bytes& chunk : after) body = Concat({body, chunk});
    return Concat({Text("RIFF"), Le32(body.size()), body});
}

Bytes WithRiffInfo(Bytes wav, const std::vector<std::pair<std::string, std::string>>& fields) {
    wav = Concat({wav, InfoList(fields)});
    const Bytes riffSize = Le32(wav.size() - 8);
    std::copy(riffSize.begin(), riffSize.end(), wav.begin() + 4);
    return wav;
}

}  // namespace zirvak::test
