// Damaged tags, from a seeded generator: good tagged songs whose tag structures are broken the
// ways files out there are (sizes huge, garbage, off by a few or past the end of the file, tags
// cut short, undefined text encodings, UTF-16 of odd length or without its byte-order mark,
// flags flipped, APE counts and RIFF chunk sizes wrong). Every one must read without a crash,
// each field either what the good song says or empty, and the song must still play: the tags
// never cost the music.
#include <gtest/gtest.h>

#include <algorithm>

#include "damaged_songs.h"
#include "file_tags.h"
#include "tag_text.h"

namespace zirvak::test {
namespace {

// Each field the original or empty, or, where the damage allows, some other clean value.
void ExpectOriginalOrEmpty(const SongTags& read, const Song& song, uint32_t mayChange) {
    const auto text = [&](const std::string& got, const std::string& good, Field field) {
        if (mayChange & field) {
            EXPECT_EQ(CleanTagText(got), got) << "field " << field << " not clean";
        } else if (!got.empty()) {
            EXPECT_EQ(got, good) << "field " << field;
        }
    };
    text(read.title, song.tags.title, kTitle);
    text(read.artist, song.tags.artist, kArtist);
    text(read.album, song.tags.album, kAlbum);
    text(read.genre, song.tags.genre, kGenre);
    // A number, and the set's total or none (when another tag, without one, stood in); a total
    // is never below its number.
    const auto position = [&](int number, int total, int goodNumber, int goodTotal, Field field) {
        if (!(mayChange & field) && number != 0) {
            EXPECT_EQ(number, goodNumber) << "field " << field;
            EXPECT_TRUE(total == 0 || total == goodTotal) << "field " << field << ": " << total;
        }
        EXPECT_GE(number, 0);
        EXPECT_TRUE(total == 0 || total >= number) << "field " << field;
    };
    position(read.trackNumber, read.trackTotal, song.tags.trackNumber, song.tags.trackTotal,
             kTrack);
    position(read.discNumber, read.discTotal, song.tags.discNumber, song.tags.discTotal, kDisc);
    if (!(mayChange & kYear) && read.year != 0) {
        EXPECT_EQ(read.year, song.tags.year);
    }
    EXPECT_TRUE(read.year >= 0 && read.year <= 9999) << read.year;
    if (!(mayChange & kCover) && !read.cover.empty()) {
        EXPECT_TRUE(read.cover.data == song.tags.cover.data) << "cover";
    }
    EXPECT_LE(read.cover.data.size(), kMaxCoverBytes);
    EXPECT_EQ(read.cover.empty(), read.cover.mimeType.empty());
    if (!(mayChange & kLength) && read.lengthMs != 0) {
        EXPECT_NEAR(double(read.lengthMs), double(song.tags.lengthMs), 50.0);
    }
    EXPECT_GE(read.lengthMs, 0);
}

TEST(DamagedTags, ReadCleanlyAndTheSongStillPlays) {
    constexpr int kVariants = 300;
    // The player may lose this much of a song whose tag is damaged: frames a damaged ID3v2 size
    // makes it skip or take for audio, a damaged INFO list's samples.
    constexpr int64_t kMostLostMs = 300;
    const uint32_t seed = TestSeed();
    TempDir dir;
    const std::vector<Song> songs = GoodSongs(dir);
    for (const Song& song : songs) {
        ASSERT_GT(song.playedMs, 900) << song.name;
        ASSERT_EQ(song.tags.title.substr(0, 5), "Title") << song.name;  // they read as they should
        ASSERT_EQ(song.tags.genre, "Rock") << song.name;
        ASSERT_GT(song.tags.lengthMs, 900) << song.name;
    }
    const auto songNamed = [&](const std::string& name) -> const Song& {
        return *std::find_if(songs.begin(), songs.end(),
                             [&](const Song& s) { return s.name == name; });
    };

    const std::string path = dir.Path("damaged");
    for (int i = 0; i < kVariants; ++i) {
        const KindInfo& kind = Kinds()[size_t(i) % Kinds().size()];
        const Song& song = songNamed(kind.songs[size_t(i) / Kinds().size() % kind.songs.size()]);
        std::mt19937 random(seed + uint32_t(i));
        const Damaged damaged = Damage(song, kind.kind, random);
        SCOPED_TRACE(testing::Message() << "variant " << i << ": " << song.name << ", " << kind.name
                                        << ": " << damaged.what);
        // Named as the good song is, so the reader and the player take it for the same kind.
        const std::string file = WriteBytes(path + "-" + song.name, damaged.file);
        ExpectOriginalOrEmpty(ReadTagsOf(file), song, damaged.mayChange);
        const int64_t played = PlayedMs(file);
        if (damaged.mayCutAudio) {
            EXPECT_GT(played, 0) << "played";
            EXPECT_LE(played, song.playedMs + kMostLostMs) << "played";
        } else {
            EXPECT_NEAR(double(played), double(song.playedMs), double(kMostLostMs)) << "played";
        }
        std::remove(file.c_str());
    }
}

}  // namespace
}  // namespace zirvak::test
