// Where the audio of an MPEG file lies: between tags, junk and zeros, and only where frames
// follow one another as an encoder writes them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "engine_run.h"
#include "memory_source.h"
#include "mpeg_stream.h"
#include "playable_file.h"
#include "player_fixtures.h"
#include "support/decode_file.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

// An ID3v2 tag of 3072 bytes after its 10-byte header, holding two frames of an MPEG stream:
// only the tag's size says where the audio begins.
Bytes Id3v2() {
    Bytes tag(3072 + 10, 0x20);
    std::memcpy(tag.data(), "ID3\3\0\0\0\0\x18\0", 10);
    const Bytes frames = FirstFrames(Sample(), 2);
    std::copy(frames.begin(), frames.end(), tag.begin() + 1600);
    return tag;
}

// An ID3v2 tag header claiming `size` bytes, then 100 bytes of tag: a size damaged to run past
// the file's end or over all of its frames.
Bytes Id3v2Claiming(uint32_t size) {
    Bytes tag(110, 0x20);
    std::memcpy(tag.data(), "ID3\3\0\0", 6);
    for (size_t i = 0; i < 4; ++i) tag[6 + i] = uint8_t(size >> (21 - 7 * i) & 0x7F);
    return tag;
}

// 300 bytes with things that look like frame syncs but are not valid headers.
Bytes Junk() {
    Bytes junk(300, 0x00);
    const uint8_t notHeaders[][4] = {{0xFF, 0xFB, 0xF0, 0x00},
                                     {0xFF, 0xE0, 0x00, 0x00},
                                     {0xFF, 0xFF, 0xFF, 0xFF},
                                     {0xFF, 0xFD, 0xAC, 0x00}};
    for (size_t i = 0; i < 4; ++i) std::memcpy(&junk[40 + 50 * i], notHeaders[i], 4);
    return junk;
}

// An APE tag of one item, with a header and footer when `withHeader`.
Bytes ApeTag(bool withHeader) {
    const Bytes item = Concat({Bytes{5, 0, 0, 0, 0, 0, 0, 0}, Bytes{'T', 'i', 't', 'l', 'e', 0},
                               Bytes{0xFF, 0xFB, 0x90, 0x64, 0}});
    auto block = [&](bool isHeader) {
        Bytes b(32, 0);
        std::memcpy(b.data(), "APETAGEX", 8);
        b[8] = 0xD0, b[9] = 0x07;  // version 2000
        b[12] = uint8_t(item.size() + 32);
        b[16] = 1;  // one item
        b[23] = uint8_t((withHeader ? 0x80 : 0) | (isHeader ? 0x20 : 0));
        return b;
    };
    return withHeader ? Concat({block(true), item, block(false)}) : Concat({item, block(false)});
}

// Streams without a VBR header whose frames are all there is to know their length by: constant
// (Layer II) and variable (Layer III from lame -V 6 -t, on 8 s of the demo song).
TEST(MpegClip, OnlyFramesAreAudioNotTagsJunkOrZeros) {
    TempDir dir;
    const Bytes song = Decode(dir, RepoPath("res/demo.mp3"));
    const Bytes vbr = ReadFileBytes(
        EncodeMp3(dir, "vbr", MakeWav({}, std::span(song).first(8 * 44100 * 4)), "-V 6 -t"));
    // An ID3v1 block whose title holds a frame header of the stream, its frame (104 bytes at
    // 32 kbit/s) ending with the file: the block is cut off whole, never played.
    Bytes id3v1(128, 0x20);
    std::memcpy(id3v1.data(), "TAG", 3);
    std::memcpy(id3v1.data() + 24, "\xFF\xFB\x10\x64", 4);
    const Bytes zeros(20000, 0);
    const Bytes cbr = Sample();
    for (const Bytes* played : {&cbr, &vbr}) {
        const Bytes& stream = *played;
        const size_t frames = FrameOffsets(stream).size() - 1;
        // mpg123 on the bare stream says what every way of playing the wrapped file must give.
        const std::vector<int16_t> reference =
            Mpg123Samples(WriteBytes(dir.Path("clean.mp3"), stream));
        ASSERT_EQ(reference.size(), frames * 1152 * 2);
        auto matches = [&](const Bytes& out) {
            return out.size() == reference.size() * 2 && MaxDifference(out, reference) <= 1;
        };
        const struct {
            const char* name;
            Bytes file;
            uint64_t firstFrame;
        } cases[] = {
            {"as encoded", stream, 0},
            {"ID3v2, junk, ID3v1", Concat({Id3v2(), Junk(), stream, id3v1}), 3082 + 300},
            {"zeros after", Concat({stream, zeros}), 0},
            {"APE and ID3v1", Concat({stream, ApeTag(true), id3v1}), 0},
            {"APE without header", Concat({Junk(), stream, ApeTag(false)}), 300},
            {"junk, zeros, junk", Concat({stream, Junk(), zeros, Junk()}), 0},
            // Damaged tag sizes: the frames are looked for from the tag's header on.
            {"ID3v2 size past the end", Concat({Id3v2Claiming(0x0FFFFFFF), stream}), 110},
            {"ID3v2 size over every frame",
             Concat({Id3v2Claiming(uint32_t(100 + stream.size() - 30)), stream}), 110},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << frames << " frames, " << c.name);
            mpeg::DecoderPtr decoder = mpeg::CreateDecoder();
            MemorySource source(c.file);
            MpegStream mpeg;
            ASSERT_EQ(OpenMpegStream(*decoder, source, mpeg), FileProblem::kNone);
            EXPECT_EQ(mpeg.bounds.firstFrame, c.firstFrame);
            EXPECT_EQ(mpeg.scan.audioEnd, c.firstFrame + stream.size());
            EXPECT_EQ(mpeg.audioFrames(), frames);
            EXPECT_EQ(mpeg.scan.bitrateVaries, played == &vbr);

            const std::string path = WriteBytes(dir.Path("file.mp3"), c.file);
            const EngineRun run = PlayFile(path);
            EXPECT_EQ(run.clip.lengthMs, uint32_t(float(frames) * (1152 * 1000.0f / 44100)));
            EXPECT_TRUE(matches(run.pcm));
            EXPECT_TRUE(matches(Render(dir, path)));
            EXPECT_TRUE(matches(Decode(dir, path)));
        }
    }
}

// Frames found after other bytes are a stream only when several follow one another: any file
// holds bytes that read as a frame header, now and then two of them one frame apart. A stream
// at the start (or just after a tag) needs no more than one frame and the next header.
TEST(MpegClip, AStreamAfterOtherBytesNeedsSeveralFramesInARow) {
    const Bytes other(1000, 0x11);  // no byte of it could start a frame
    const auto frames = [](size_t n) { return FirstFrames(Sample(), n); };
    const struct {
        const char* name;
        Bytes file;
        std::optional<uint64_t> firstFrame;  // none: not MPEG audio
    } cases[] = {
        {"two frames among other bytes", Concat({other, frames(2), other}), std::nullopt},
        {"seven frames among other bytes", Concat({other, frames(7), other}), std::nullopt},
        {"eight frames among other bytes", Concat({other, frames(8), other}), 1000},
        {"two frames that end the file", Concat({other, frames(2)}), 1000},
        {"two frames at the start", Concat({frames(2), other}), 0},
        {"two frames after a tag", Concat({Id3v2Claiming(100), frames(2), other}), 110},
        {"a false pair before a stream", Concat({other, frames(2), other, frames(9)}),
         1000 + frames(2).size() + 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        mpeg::DecoderPtr decoder = mpeg::CreateDecoder();
        MemorySource source(c.file);
        MpegStream mpeg;
        const FileProblem problem = OpenMpegStream(*decoder, source, mpeg);
        if (!c.firstFrame) {
            EXPECT_NE(problem, FileProblem::kNone);
            continue;
        }
        ASSERT_EQ(problem, FileProblem::kNone);
        EXPECT_EQ(mpeg.bounds.firstFrame, *c.firstFrame);
    }
}

// `frames` of an MPEG file with `patch` applied to each (by its index and its bytes).
template <class Patch>
Bytes Patched(const Bytes& frames, Patch patch) {
    Bytes out = frames;
    const std::vector<size_t> at = FrameOffsets(frames);
    for (size_t i = 0; i + 1 < at.size(); ++i)
        patch(i, std::span(out).subspan(at[i], at[i + 1] - at[i]));
    return out;
}

// Frames of a made-up Layer I stream (MPEG-1, 128 kbit/s, 48 kHz, 128 bytes each): `third` is
// the header's last byte, `body` fills the rest.
Bytes LayerIFrames(size_t count, uint8_t third, uint8_t body) {
    Bytes out;
    for (size_t i = 0; i < count; ++i) {
        const Bytes frame = {0xFF, 0xFF, 0x44, third};
        out.insert(out.end(), frame.begin(), frame.end());
        out.insert(out.end(), 124, body);
    }
    return out;
}

// Bytes that only look like a stream among other bytes (tables and code in programs repeat a
// header-like pattern at a frame's length) are not MPEG audio; a real stream among them is.
TEST(MpegClip, OnlyFramesAsAnEncoderWritesThemMakeAStreamAmongOtherBytes) {
    const Bytes other(1000, 0x11);
    const Bytes frames = FirstFrames(Sample(), 40);
    const auto among = [&](const Bytes& stream) { return Concat({other, stream, other}); };
    const struct {
        const char* name;
        Bytes file;
        bool isMpeg;
    } cases[] = {
        {"the stream itself", among(frames), true},
        {"its mode changing frame by frame",
         among(Patched(frames,
                       [](size_t i, auto f) {
                           if (i % 2) f[3] ^= 0x40;
                       })),
         false},
        {"its copyright bit changing",
         among(Patched(frames,
                       [](size_t i, auto f) {
                           if (i % 2) f[3] ^= 0x08;
                       })),
         false},
        {"the reserved emphasis", among(Patched(frames, [](size_t, auto f) { f[3] |= 0x02; })),
         false},
        {"a scale factor past the table",
         among(Patched(frames,
                       [](size_t, auto f) { std::fill(f.begin() + 4, f.end(), uint8_t(0xFF)); })),
         false},
        {"frames with nothing in them",
         among(Patched(frames,
                       [](size_t, auto f) { std::fill(f.begin() + 4, f.end(), uint8_t(0)); })),
         false},
        {"made-up Layer I frames", among(LayerIFrames(40, 0x00, 0x11)), true},
        {"their allocation forbidden", among(LayerIFrames(40, 0x00, 0xF1)), false},
        {"their scale factors past the table", among(LayerIFrames(40, 0x00, 0x1F)), false},
        {"the reserved version bits",
         among(Patched(LayerIFrames(40, 0x00, 0x11), [](size_t, auto f) { f[1] = 0xEF; })), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        mpeg::DecoderPtr decoder = mpeg::CreateDecoder();
        MemorySource source(c.file);
        MpegStream mpeg;
        EXPECT_EQ(OpenMpegStream(*decoder, source, mpeg) == FileProblem::kNone, c.isMpeg);
    }
    // Programs and libraries every machine of the project has.
    int checked = 0;
    for (const char* path :
         {"/usr/bin/bash", "/usr/bin/tar", "/usr/bin/python3", "/usr/bin/cmake", "/usr/bin/ninja",
          "/usr/bin/lame", "/usr/bin/flac", "/usr/lib/x86_64-linux-gnu/libc.so.6",
          "/usr/lib/x86_64-linux-gnu/libstdc++.so.6", "/usr/lib/x86_64-linux-gnu/libQt6Core.so.6",
          "/usr/lib/x86_64-linux-gnu/libQt6Widgets.so.6"}) {
        if (access(path, R_OK) != 0) continue;
        ++checked;
        EXPECT_EQ(CheckPlayable(path), FileProblem::kNotPlayable) << path;
    }
    EXPECT_GE(checked, 5);
}

}  // namespace
}  // namespace zirvak::test
