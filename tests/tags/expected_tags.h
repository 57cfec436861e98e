// What the tag readers' tests expect of a song's tags, and the audio they put the tags around:
// two seconds of the demo song, and a second of WAV.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "song_tags.h"
#include "tag_builder.h"

namespace zirvak::test {

struct Expected {
    std::string title, artist, album;
    int track = 0;
    Bytes cover;
    std::string mimeType;
};

inline void ExpectTags(const SongTags& tags, const Expected& expected, int64_t lengthMs) {
    EXPECT_EQ(tags.title, expected.title);
    EXPECT_EQ(tags.artist, expected.artist);
    EXPECT_EQ(tags.album, expected.album);
    EXPECT_EQ(tags.trackNumber, expected.track);
    EXPECT_NEAR(double(tags.lengthMs), double(lengthMs), 50.0);
    EXPECT_EQ(tags.cover.mimeType, expected.mimeType);
    EXPECT_EQ(tags.cover.data.size(), expected.cover.size());
    EXPECT_TRUE(tags.cover.data == expected.cover) << "the cover's bytes differ";
}

inline const Bytes& Audio() {
    static const Bytes audio = DemoAudio(77);
    return audio;
}
inline const Bytes& Pcm() {
    static const Bytes pcm = Pcm16Pattern(44100, 2);
    return pcm;
}
inline constexpr int64_t kWavMs = 1000;

}  // namespace zirvak::test
