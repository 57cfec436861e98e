// What every compressed source shares: each kind of file known by its content whatever its
// name, random damage, the check before playing, and zirvak-cli's decode and render (memory
// refused, seeks and restarts in source_contract_test.cpp).
#include <gtest/gtest.h>

#include <cstring>

#include "playable_file.h"
#include "player_fixtures.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

// A file of every kind plays the same under the name of any other kind, and the FLAC and Ogg
// ones also behind an ID3v2 tag; a file of none of them is refused whatever its name.
TEST(CompressedSources, EveryKindPlaysByItsContentWhateverItsName) {
    TempDir dir;
    const Bytes wav = MakeWav({}, Pcm16Pattern(44100 / 2, 2));
    Bytes tag = {'I', 'D', '3', 4, 0, 0, 0, 0, 1, 0};  // 128 bytes of tag after the header
    tag.resize(10 + 128, 0);
    const struct {
        std::string kind;
        std::string path;
        bool tagged;
    } kinds[] = {
        {"MP3", EncodeMp3(dir, "song", wav, "-b 128"), false},
        {"WAV", WriteBytes(dir.Path("song.wav"), wav), false},
        {"FLAC", EncodeFlac(dir, "song", wav), true},
        {"Vorbis", EncodeVorbis(dir, "song", wav), true},
        {"Opus", EncodeOpus(dir, "song", wav), true},
    };
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.kind);
        const Bytes file = ReadFileBytes(k.path);
        const Bytes played = PlayToTheEnd(k.path);
        ASSERT_FALSE(played.empty());
        for (const char* name : {"x.mp3", "x.wav", "x.flac", "x.ogg", "x.opus", "x.m4a", "x"}) {
            SCOPED_TRACE(name);
            const std::string renamed = WriteBytes(dir.Path(name), file);
            EXPECT_TRUE(PlayToTheEnd(renamed) == played);
            EXPECT_EQ(CheckPlayable(renamed), FileProblem::kNone);
        }
        if (k.tagged) {
            EXPECT_TRUE(PlayToTheEnd(WriteBytes(dir.Path("tagged"), Concat({tag, file}))) ==
                        played);
        }
    }
    const std::string text = "Not a song at all, only words in a file named as one.\n";
    const Bytes png = ReadFileBytes(RepoPath("res/about.png"));
    for (const char* name : {"words.mp3", "words.flac", "words.ogg", "words.opus", "words.wav"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(CheckPlayable(WriteBytes(dir.Path(name), Bytes(text.begin(), text.end()))),
                  FileProblem::kNotPlayable);
        EXPECT_EQ(CheckPlayable(WriteBytes(dir.Path(name), png)), FileProblem::kNotPlayable);
    }
}

// Random damage of every sort (flips, overwritten runs, cuts, bytes lost), made from a fixed
// seed: each file opens or is refused, plays to its end and seeks, without a crash or a hang.
TEST(CompressedSources, RandomDamageNeverFaults) {
    TempDir dir;
    const Bytes wav = MakeWav({}, Pcm16Pattern(2 * 44100, 2));
    uint64_t seed = 0x2545F4914F6CDD1Dull;
    auto random = [&seed](uint64_t below) {
        seed ^= seed << 13;
        seed ^= seed >> 7;
        seed ^= seed << 17;
        return below ? seed % below : 0;
    };
    for (const std::string& path : {EncodeFlac(dir, "song", wav), EncodeVorbis(dir, "song", wav),
                                    EncodeOpus(dir, "song", wav)}) {
        const Bytes good = ReadFileBytes(path);
        for (int variant = 0; variant < 40; ++variant) {
            SCOPED_TRACE(testing::Message() << path << " variant " << variant);
            Bytes bad = good;
            switch (variant % 4) {
                case 0:
                    for (int i = 0; i < 1 + variant; ++i) bad[random(bad.size())] ^= 1 << random(8);
                    break;
                case 1: {
                    const size_t at = random(bad.size()), n = random(4000);
                    for (size_t i = at; i < std::min(bad.size(), at + n); ++i)
                        bad[i] = uint8_t(random(256));
                    break;
                }
                case 2:
                    bad.resize(random(bad.size()));
                    break;
                case 3: {
                    const size_t at = random(bad.size());
                    bad.erase(bad.begin() + ptrdiff_t(at),
                              bad.begin() + ptrdiff_t(std::min(bad.size(), at + random(3000))));
                    break;
                }
            }
            const std::string damaged = WriteBytes(dir.Path("damaged"), bad);
            TestAudioDevice device;
            device.keepCopies = false;
            PlayerEngine engine(device);
            if (engine.Open(damaged, 0, kDefaultEndMs) != kOpenStarted) continue;
            device.CompleteAll();
            EXPECT_TRUE(engine.endReached());
            const uint32_t length = engine.songLengthMs();
            if (engine.Seek(length / 2) == kOpenStarted) device.CompleteAll();
            EXPECT_TRUE(device.misuse().empty());
        }
    }
}

// A file is found playable (before a player lets its current song go for it) as Open finds it.
TEST(CompressedSources, CheckPlayableAgreesWithOpen) {
    TempDir dir;
    const Bytes wav = MakeWav({}, Pcm16Pattern(44100, 2));
    const Bytes flac = ReadFileBytes(EncodeFlac(dir, "song", wav));
    const Bytes opus = ReadFileBytes(EncodeOpus(dir, "song", wav));
    Bytes speex(28 + 80, 0);
    std::memcpy(speex.data(), "OggS", 4);
    speex[26] = 1;
    speex[27] = 80;
    std::memcpy(speex.data() + 28, "Speex   ", 8);
    const struct {
        std::string name;
        Bytes bytes;
        FileProblem problem;
    } files[] = {
        {"song.flac", flac, FileProblem::kNone},
        {"song.mp3", opus, FileProblem::kNone},
        {"song.ogg", ReadFileBytes(EncodeVorbis(dir, "song", wav)), FileProblem::kNone},
        {"cut.flac", Bytes(flac.begin(), flac.begin() + 30), FileProblem::kDamaged},
        {"cut.opus", Bytes(opus.begin(), opus.begin() + 40), FileProblem::kDamaged},
        {"speex.ogg", speex, FileProblem::kUnsupported},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const std::string path = WriteBytes(dir.Path(f.name), f.bytes);
        EXPECT_EQ(CheckPlayable(path), f.problem);
        TestAudioDevice device;
        PlayerEngine engine(device);
        const int32_t opened = engine.Open(path, 0, kDefaultEndMs);
        EXPECT_EQ(opened == kOpenStarted, f.problem == FileProblem::kNone);
        if (opened != kOpenStarted) {
            EXPECT_EQ(engine.failure(), f.problem);
        }
    }
}

// zirvak-cli decode and render write what playback plays.
TEST(CompressedSources, DecodeAndRenderWriteWhatPlays) {
    TempDir dir;
    const Bytes wav = MakeWav({}, Pcm16Pattern(3 * 44100, 2));
    for (const std::string& path : {EncodeFlac(dir, "song", wav), EncodeVorbis(dir, "song", wav),
                                    EncodeOpus(dir, "song", wav)}) {
        SCOPED_TRACE(path);
        const Bytes whole = PlayToTheEnd(path);
        EXPECT_TRUE(Decode(dir, path) == whole);
        EXPECT_TRUE(Render(dir, path) == whole);
    }
}

}  // namespace
}  // namespace zirvak::test
