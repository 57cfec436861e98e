// Files that change on disk while they play: truncated, rewritten in place or replaced by
// rename, at several moments of a run. The engine plays what it had read, then stops as at
// the end of the song; nothing faults and nothing stale or foreign is played.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "player_fixtures.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

enum class Change { kTruncate, kRewrite, kRename };

struct ChangeCase {
    Change change;
    off_t size;       // bytes the file keeps (kTruncate), or of foreign bytes (kRewrite)
    int completions;  // buffers completed before the change
};

bool IsPrefix(const Bytes& part, const Bytes& whole) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

TEST(EngineFileChanges, APlayingFileThatChangesEndsCleanlyAfterWhatWasRead) {
    const ChangeCase cases[] = {
        {Change::kTruncate, 0, 0},    {Change::kTruncate, 0, 1},    {Change::kTruncate, 4096, 0},
        {Change::kTruncate, 4096, 2}, {Change::kRewrite, 30000, 0}, {Change::kRewrite, 30000, 1},
        {Change::kRename, 0, 0},      {Change::kRename, 0, 1},
    };
    TempDir dir;
    // 7 s of Layer III: four buffers, so a change after two completions is still noticed.
    const std::string mp3 =
        EncodeMp3(dir, "long", MakeWav({}, Pcm16Pattern(7 * 44100, 2)), "-b 64");
    // 7 s of FLAC, Vorbis and Opus: five buffers or more.
    const Bytes wav = MakeWav({}, Pcm16Pattern(7 * 44100, 2));
    const std::string flac = EncodeFlac(dir, "long", wav);
    const std::string vorbis = EncodeVorbis(dir, "long", wav);
    const std::string opus = EncodeOpus(dir, "long", wav);
    for (const std::string& original : {Files().wav, Files().mp2, mp3, flac, vorbis, opus}) {
        const Bytes bytes = ReadFileBytes(original);
        const Bytes whole = PlayToTheEnd(original);
        int endedEarly = 0;
        for (const ChangeCase& c : cases) {
            SCOPED_TRACE(testing::Message() << original << " change " << int(c.change) << " to "
                                            << c.size << " after " << c.completions);
            const std::string path = WriteBytes(dir.Path("playing"), bytes);
            TestAudioDevice device;
            PlayerEngine engine(device);
            ASSERT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenStarted);
            for (int i = 0; i < c.completions; ++i) device.CompleteOldest();
            switch (c.change) {
                case Change::kTruncate:
                    ASSERT_EQ(truncate(path.c_str(), c.size), 0);
                    break;
                case Change::kRewrite:  // as `cp other.mp3 playing` does: same file, new bytes
                    WriteBytes(path, Pcm16Pattern(uint32_t(c.size) / 4, 2));
                    break;
                case Change::kRename:
                    std::filesystem::rename(WriteBytes(dir.Path("other"), Bytes(70000, 0x33)),
                                            path);
                    break;
            }
            device.CompleteAll();
            EXPECT_EQ(engine.state(), Stopped);
            EXPECT_TRUE(engine.endReached());
            const Bytes played = device.AllBytes();
            if (c.change == Change::kRename) {
                // The open file is the one that was renamed away: it plays to its end.
                EXPECT_FALSE(engine.fileChanged());
                EXPECT_TRUE(played == whole);
            } else {
                // What was read before the change plays; nothing after it, and nothing else.
                EXPECT_TRUE(IsPrefix(played, whole));
                EXPECT_EQ(engine.fileChanged(), played.size() < whole.size());
                endedEarly += played.size() < whole.size();
                // Play again: refused, the file is not what was opened.
                EXPECT_EQ(engine.Restart(), kOpenFileFailed);
                EXPECT_EQ(engine.failure(), FileProblem::kChanged);
            }
            engine.Close();
        }
        EXPECT_GE(endedEarly, 3) << original;  // every change before the last buffer was read
    }
}

}  // namespace
}  // namespace zirvak::test
