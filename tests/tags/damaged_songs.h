// The songs the damaged-tags test breaks, and the ways it breaks them: good tagged songs (MPEG
// files with ID3v2, APE and ID3v1 tags, WAV files with INFO lists and ID3v2 chunks) and, from a
// seeded generator, their tag structures damaged the ways files out there are.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "song_tags.h"
#include "tag_builder.h"

namespace zirvak::test {

// Fields a damage kind may legitimately turn into some other clean value (see Damaged).
enum Field : uint32_t {
    kTitle = 1,
    kArtist = 2,
    kAlbum = 4,
    kTrack = 8,
    kCover = 16,
    kLength = 32,
    kYear = 64,
    kGenre = 128,
    kDisc = 256,
};

// The field a frame, INFO field or APE item of this id fills.
Field FieldOf(std::string_view id);

struct Song {
    std::string name;
    Bytes file;
    SongTags tags;     // as read from the good file
    int64_t playedMs;  // as played from the good file
};

// What the player plays of `path` from its start to its end; -1 when it cannot open it.
int64_t PlayedMs(const std::string& path);

// The good songs. Two of them carry an ID3v1 block and a WAV file an INFO list that say the
// same as their main tag, as real files often do: a damaged main tag must then give the same
// fields from the other, never garbage.
std::vector<Song> GoodSongs(const TempDir& dir);

enum class Kind {
    kTagSize,        // the ID3v2 tag's size
    kTagCut,         // the ID3v2 tag's last bytes gone, its size unchanged
    kFrameSize,      // a frame's size
    kFrameId,        // a frame's id turned to garbage
    kEncoding,       // a text frame's encoding byte one ID3v2 does not define
    kOddUtf16,       // a byte of UTF-16 text gone
    kNoBom,          // UTF-16 text without its byte-order mark
    kFlags,          // bits of the tag's or a frame's flags flipped
    kApeSizes,       // the APE tag's size or item count, in its header or footer
    kApeItem,        // an APE item's value size or flags
    kId3v1,          // "TAG" damaged, or the block cut short
    kRiffChunkSize,  // the size of the RIFF chunk, the INFO list or the id3 chunk
    kInfoFieldSize,  // the size of a field of the INFO list
};

struct KindInfo {
    Kind kind;
    const char* name;
    std::vector<std::string> songs;
};

// Every kind of damage, with the songs it is done to.
const std::vector<KindInfo>& Kinds();

struct Damaged {
    Bytes file;
    std::string what;  // the damage, for the failure message
    // Fields that may come out as another clean value. TagLib reads what the damaged bytes
    // say, and for these no reader could tell: a frame made a few bytes longer takes the next
    // frame's first bytes as text, UTF-16 that lost a byte reads as other characters, a frame
    // flag for grouping or unsynchronisation changes what the frame holds.
    uint32_t mayChange = 0;
    // A tag size that ends inside the audio takes the frames before that end with it: only the
    // size is there to say where the audio starts. The rest of the song must still play.
    bool mayCutAudio = false;
};

// `song` with damage of `kind`, as `random` chooses it.
Damaged Damage(const Song& song, Kind kind, std::mt19937& random);

}  // namespace zirvak::test
