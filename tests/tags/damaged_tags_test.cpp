// Damaged tags, from a seeded generator: good tagged songs whose tag structures are broken the
// ways files out there are (sizes huge, garbage, off by a few or past the end of the file, tags
// cut short, undefined text encodings, UTF-16 of odd length or without its byte-order mark,
// flags flipped, APE counts and RIFF chunk sizes wrong). Every one must read without a crash,
// each field either what the good song says or empty, and the song must still play: the tags
// never cost the music.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

#include "file_tags.h"
#include "tag_builder.h"
#include "tag_text.h"

namespace zirvak::test {
namespace {

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

Field FieldOf(std::string_view id) {
    if (id == "TIT2" || id == "INAM" || id == "TITLE") return kTitle;
    if (id == "TPE1" || id == "IART" || id == "ARTIST") return kArtist;
    if (id == "TALB" || id == "IPRD" || id == "ALBUM") return kAlbum;
    if (id == "TRCK" || id == "ITRK" || id == "TRACK") return kTrack;
    if (id == "TYER" || id == "TDRC" || id == "ICRD" || id == "YEAR") return kYear;
    if (id == "TCON" || id == "IGNR" || id == "GENRE") return kGenre;
    if (id == "TPOS" || id == "DISC") return kDisc;
    return kCover;
}

struct Song {
    std::string name;
    Bytes file;
    SongTags tags;     // as read from the good file
    int64_t playedMs;  // as played from the good file
};

// What the player plays of `path` from its start to its end; -1 when it cannot open it.
int64_t PlayedMs(const std::string& path) {
    TestAudioDevice device;
    device.keepCopies = false;
    uint64_t bytes = 0;
    device.onPlayed = [&](const uint8_t*, uint32_t length) { bytes += length; };
    PlayerEngine engine(device);
    if (engine.Open(path, 0, kDefaultEndMs) != kOpenStarted) return -1;
    device.CompleteAll();
    const uint64_t bytesPerSecond = uint64_t(engine.sampleRate()) * uint64_t(engine.channels()) * 2;
    engine.Close();
    return int64_t(bytes * 1000 / bytesPerSecond);
}

// The good songs. Two of them carry an ID3v1 block and a WAV file an INFO list that say the
// same as their main tag, as real files often do: a damaged main tag must then give the same
// fields from the other, never garbage.
std::vector<Song> GoodSongs(const TempDir& dir) {
    const Bytes audio = DemoAudio(77), pcm = Pcm16Pattern(44100, 2);
    const Bytes jpeg = FakeJpeg(2000, 11), png = FakePng(1500, 12);
    const Bytes id3v1 = Id3v1Tag("Title", "Artist", "Album", 5, "1999", 17);
    const std::vector<Id3v2FrameData> frames23 = {
        {"TIT2", Utf16Text(u"Title \u00e4")},
        {"TPE1", Utf16Text(u"Artist", true)},
        {"APIC", ApicBody("image/jpeg", 3, jpeg)},
        {"TALB", Latin1Text("Album")},
        {"TRCK", Latin1Text("5/9")},
        {"TYER", Latin1Text("1999")},
        {"TCON", Latin1Text("(17)")},
        {"TPOS", Latin1Text("1/2")},
    };
    std::vector<Song> songs = {
        {"v23.mp3", Concat({Id3v2Tag({.version = 3}, frames23), audio}), {}, 0},
        {"v24-and-v1.mp3",
         Concat({Id3v2Tag({.version = 4, .padding = 40}, {{"TIT2", Utf8Text("Title")},
                                                          {"TPE1", Utf16BeText(u"Artist")},
                                                          {"TALB", Utf16Text(u"Album")},
                                                          {"TRCK", Utf8Text("5")},
                                                          {"TDRC", Utf8Text("1999-05-01")},
                                                          {"TCON", Utf16Text(u"Rock")},
                                                          {"APIC", ApicBody("image/png", 3, png)}}),
                 audio, id3v1}),
         {},
         0},
        {"v23-unsynchronised.mp3",
         Concat({Id3v2Tag({.version = 3, .unsynchronise = true}, frames23), audio}),
         {},
         0},
        {"ape-and-v1.mp3",
         Concat({audio,
                 ApeTag({{"Title", ApeValue("Title")},
                         {"Artist", ApeValue("Artist")},
                         {"Album", ApeValue("Album")},
                         {"Track", ApeValue("5/9")},
                         {"Year", ApeValue("1999")},
                         {"Genre", ApeValue("Rock")},
                         {"Disc", ApeValue("1/2")},
                         {"Cover Art (Front)", Concat({ApeValue("c.jpg"), Bytes{0}, jpeg}), true}}),
                 id3v1}),
         {},
         0},
        {"info-and-id3.wav",
         WavFile(pcm,
                 {InfoList({{"INAM", "Title \u00e4"},
                            {"IPRD", "Album"},
                            {"ITRK", "5"},
                            {"ICRD", "1999-05-01"},
                            {"IGNR", "Rock"}})},
                 {RiffChunk("id3 ", Id3v2Tag({.version = 3}, frames23))}),
         {},
         0},
        {"info-after-data.wav",
         WavFile(pcm, {},
                 {InfoList(
                     {{"INAM", "Title"}, {"IART", "Artist"}, {"ITRK", "5/9"}, {"IGNR", "Rock"}})}),
         {},
         0},
    };
    for (Song& song : songs) {
        const std::string path = WriteBytes(dir.Path(song.name), song.file);
        song.tags = ReadTagsOf(path);
        song.playedMs = PlayedMs(path);
    }
    return songs;
}

// Where the structures of a song lie.
struct Id3v2Frame {
    size_t at;  // the frame's header
    std::string id;
    size_t size;
};

size_t FindTag(const Bytes& file) {
    if (file[0] == 'I') return 0;
    const std::string_view view(reinterpret_cast<const char*>(file.data()), file.size());
    return view.find("id3 ") + 8;  // the tag inside the WAV file's chunk
}

uint32_t GetSyncsafe(const Bytes& file, size_t at) {
    return uint32_t(file[at]) << 21 | uint32_t(file[at + 1]) << 14 | uint32_t(file[at + 2]) << 7 |
           file[at + 3];
}

uint32_t TagSize(const Bytes& file, size_t tag) {
    return GetSyncsafe(file, tag + 6);
}

bool Unsynchronised(const Bytes& file, size_t tag) {
    return file[tag + 5] & 0x80;
}

// The frames of a tag that is not unsynchronised (whose frames lie as their sizes say).
std::vector<Id3v2Frame> Frames(const Bytes& file, size_t tag) {
    const bool v4 = file[tag + 3] == 4;
    const size_t end = tag + 10 + TagSize(file, tag);
    std::vector<Id3v2Frame> frames;
    for (size_t at = tag + 10; at + 10 <= end && file[at] != 0;) {
        const uint32_t size = v4 ? GetSyncsafe(file, at + 4) : GetBe32(file, at + 4);
        frames.push_back({at, std::string(&file[at], &file[at] + 4), size});
        at += 10 + size;
    }
    return frames;
}

// Rewrites a size field: ID3v2.4 sizes are syncsafe, 2.3 frame sizes plain.
void PutId3v2Size(Bytes& file, size_t at, uint32_t size, bool syncsafe) {
    if (syncsafe) {
        const Bytes s = Syncsafe(size);
        std::copy(s.begin(), s.end(), file.begin() + ptrdiff_t(at));
    } else {
        PutBe32(file, at, size);
    }
}

// Removes `count` bytes at `at`, inside frame `frame` of the tag at `tag`, keeping the frame's
// and the tag's sizes right: the tag stays whole, only the frame's content is damaged.
void RemoveFromFrame(Bytes& file, size_t tag, const Id3v2Frame& frame, size_t at, size_t count) {
    file.erase(file.begin() + ptrdiff_t(at), file.begin() + ptrdiff_t(at + count));
    PutId3v2Size(file, frame.at + 4, uint32_t(frame.size - count), file[tag + 3] == 4);
    PutId3v2Size(file, tag + 6, TagSize(file, tag) - uint32_t(count), true);
}

std::vector<size_t> Find(const Bytes& file, std::string_view what) {
    std::vector<size_t> at;
    const std::string_view view(reinterpret_cast<const char*>(file.data()), file.size());
    for (size_t i = view.find(what); i != std::string_view::npos; i = view.find(what, i + 1))
        at.push_back(i);
    return at;
}

// A size of each sort damage gives: the largest a field holds, garbage, past the end of the
// file, zero or tiny, a few off the right one.
uint32_t DamagedSize(std::mt19937& random, uint32_t right, size_t fileSize, uint32_t largest) {
    switch (random() % 5) {
        case 0:
            return largest;
        case 1:
            return uint32_t(random()) & largest;
        case 2:
            return std::min<uint32_t>(largest, uint32_t(fileSize + random() % 100000));
        case 3:
            return random() % 4;
        default:
            return right + 1 + random() % 8;
    }
}

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

const std::vector<KindInfo>& Kinds() {
    static const std::vector<KindInfo> kinds = {
        {Kind::kTagSize,
         "tag size",
         {"v23.mp3", "v24-and-v1.mp3", "v23-unsynchronised.mp3", "info-and-id3.wav"}},
        {Kind::kTagCut, "tag cut", {"v23.mp3", "v24-and-v1.mp3"}},
        {Kind::kFrameSize, "frame size", {"v23.mp3", "v24-and-v1.mp3", "info-and-id3.wav"}},
        {Kind::kFrameId, "frame id", {"v23.mp3", "v24-and-v1.mp3", "info-and-id3.wav"}},
        {Kind::kEncoding, "encoding", {"v23.mp3", "v24-and-v1.mp3", "info-and-id3.wav"}},
        {Kind::kOddUtf16, "odd UTF-16", {"v23.mp3", "v24-and-v1.mp3"}},
        {Kind::kNoBom, "no BOM", {"v23.mp3", "v24-and-v1.mp3"}},
        {Kind::kFlags,
         "flags",
         {"v23.mp3", "v24-and-v1.mp3", "v23-unsynchronised.mp3", "info-and-id3.wav"}},
        {Kind::kApeSizes, "APE sizes", {"ape-and-v1.mp3"}},
        {Kind::kApeItem, "APE item", {"ape-and-v1.mp3"}},
        {Kind::kId3v1, "ID3v1", {"v24-and-v1.mp3", "ape-and-v1.mp3"}},
        {Kind::kRiffChunkSize, "RIFF chunk size", {"info-and-id3.wav", "info-after-data.wav"}},
        {Kind::kInfoFieldSize, "INFO field size", {"info-and-id3.wav", "info-after-data.wav"}},
    };
    return kinds;
}

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

Damaged Damage(const Song& song, Kind kind, std::mt19937& random) {
    Damaged d{song.file, "", 0};
    Bytes& f = d.file;
    std::ostringstream what;
    const auto pick = [&](const auto& list) { return list[random() % list.size()]; };
    switch (kind) {
        case Kind::kTagSize: {
            const size_t tag = FindTag(f);
            const uint32_t size = DamagedSize(random, 0, f.size(), 0x0FFFFFFF);
            // Half the time written raw, so its bytes need not be syncsafe.
            if (random() % 2) {
                PutBe32(f, tag + 6, size);
            } else {
                PutId3v2Size(f, tag + 6, size, true);
            }
            what << "tag size bytes " << std::hex << GetBe32(f, tag + 6);
            // The frame the new end falls in is cut short; the length follows the tag's end.
            d.mayChange = kLength;
            d.mayCutAudio = true;
            break;
        }
        case Kind::kTagCut: {
            const size_t tag = FindTag(f);
            const std::vector<Id3v2Frame> frames = Frames(f, tag);
            const size_t end = frames.back().at + 10 + frames.back().size;
            const size_t count = 1 + random() % (end - tag - 10);
            f.erase(f.begin() + ptrdiff_t(end - count), f.begin() + ptrdiff_t(end));
            what << count << " bytes cut from the tag's end";
            // The frame the cut falls in runs into the audio.
            for (const Id3v2Frame& frame : frames)
                if (frame.at + 10 + frame.size > end - count) d.mayChange |= FieldOf(frame.id);
            d.mayChange |= kLength;
            break;
        }
        case Kind::kFrameSize: {
            const size_t tag = FindTag(f);
            const Id3v2Frame frame = pick(Frames(f, tag));
            const uint32_t size = DamagedSize(random, uint32_t(frame.size), f.size(), 0x0FFFFFFF);
            PutBe32(f, frame.at + 4, size);
            what << frame.id << " size " << size;
            d.mayChange = FieldOf(frame.id);
            break;
        }
        case Kind::kFrameId: {
            const size_t tag = FindTag(f);
            const Id3v2Frame frame = pick(Frames(f, tag));
            for (size_t i = 0; i < 4; ++i) f[frame.at + i] = uint8_t(random());
            what << frame.id << " id " << std::hex << GetBe32(f, frame.at);
            break;
        }
        case Kind::kEncoding: {
            const size_t tag = FindTag(f);
            std::vector<Id3v2Frame> text;
            for (const Id3v2Frame& frame : Frames(f, tag))
                if (frame.id[0] == 'T') text.push_back(frame);
            const Id3v2Frame frame = pick(text);
            f[frame.at + 10] = uint8_t(4 + random() % 252);
            what << frame.id << " encoding " << int(f[frame.at + 10]);
            break;
        }
        case Kind::kOddUtf16:
        case Kind::kNoBom: {
            const size_t tag = FindTag(f);
            std::vector<Id3v2Frame> utf16;
            for (const Id3v2Frame& frame : Frames(f, tag))
                if (frame.id[0] == 'T' &&
                    (f[frame.at + 10] == 1 || (kind == Kind::kOddUtf16 && f[frame.at + 10] == 2)))
                    utf16.push_back(frame);
            const Id3v2Frame frame = pick(utf16);
            if (kind == Kind::kNoBom) {
                RemoveFromFrame(f, tag, frame, frame.at + 11, 2);
                what << frame.id << " without its BOM";
            } else {
                const size_t at = frame.at + 11 + random() % (frame.size - 1);
                RemoveFromFrame(f, tag, frame, at, 1);
                what << frame.id << " byte " << at - frame.at - 11 << " of its text gone";
                d.mayChange = FieldOf(frame.id);
            }
            break;
        }
        case Kind::kFlags: {
            const size_t tag = FindTag(f);
            if (random() % 2 || Unsynchronised(f, tag)) {
                f[tag + 5] ^= uint8_t(1u << (random() % 8));
                what << "tag flags " << std::hex << int(f[tag + 5]);
                // Unsynchronisation switched on or off changes the bytes of a picture or of
                // UTF-16 text with a big-endian BOM (FE FF 00), and after them where the next
                // frames lie.
                d.mayChange = kTitle | kArtist | kAlbum | kTrack | kCover | kYear | kGenre | kDisc;
            } else {
                const Id3v2Frame frame = pick(Frames(f, tag));
                f[frame.at + 8 + random() % 2] ^= uint8_t(1u << (random() % 8));
                what << frame.id << " flags " << std::hex << (GetBe32(f, frame.at + 6) & 0xFFFF);
                d.mayChange = FieldOf(frame.id);
            }
            break;
        }
        case Kind::kApeSizes: {
            const size_t at = pick(Find(f, "APETAGEX")) + (random() % 2 ? 12 : 16);
            PutLe32(f, at, DamagedSize(random, GetLe32(f, at), f.size(), 0xFFFFFFFF));
            what << "APE field at " << at << " = " << GetLe32(f, at);
            break;
        }
        case Kind::kApeItem: {
            // The items follow the 32-byte header; step to one of them.
            size_t at = Find(f, "APETAGEX")[0] + 32;
            std::string key;
            for (int n = int(random() % 5); n >= 0; --n) {
                key = reinterpret_cast<const char*>(&f[at + 8]);
                if (n > 0) at += 8 + key.size() + 1 + GetLe32(f, at);
            }
            const bool size = random() % 2;
            if (size) {
                PutLe32(f, at, DamagedSize(random, GetLe32(f, at), f.size(), 0xFFFFFFFF));
            } else {
                f[at + 4 + random() % 4] ^= uint8_t(1u << (random() % 8));
            }
            what << "APE item " << key << (size ? " size " : " flags ")
                 << GetLe32(f, at + (size ? 0 : 4));
            std::string upper = key;
            for (char& c : upper) c = char(std::toupper(c));
            if (size) d.mayChange = FieldOf(upper);
            break;
        }
        case Kind::kId3v1: {
            if (random() % 2) {
                f[f.size() - 128 + random() % 3] ^= uint8_t(1u << (random() % 8));
                what << "TAG damaged";
            } else {
                const size_t cut = 1 + random() % 127;
                f.resize(f.size() - cut);
                what << "ID3v1 cut by " << cut;
            }
            break;
        }
        case Kind::kRiffChunkSize: {
            std::vector<size_t> sizes = {4};  // the RIFF chunk's own
            for (const char* id : {"LIST", "id3 "})
                for (size_t at : Find(f, id)) sizes.push_back(at + 4);
            const size_t at = pick(sizes);
            const uint32_t size = random() % 2
                                      ? GetLe32(f, at) ^ 1  // odd, or even again
                                      : DamagedSize(random, GetLe32(f, at), f.size(), 0xFFFFFFFF);
            PutLe32(f, at, size);
            what << "chunk size at " << at << " = " << size;
            d.mayChange = kLength;  // checked against the data the player plays
            break;
        }
        case Kind::kInfoFieldSize: {
            std::vector<size_t> fields;
            for (const char* id : {"INAM", "IART", "IPRD", "ITRK", "ICRD", "IGNR"})
                for (size_t at : Find(f, id)) fields.push_back(at);
            const size_t at = pick(fields);
            const uint32_t size =
                random() % 2 ? GetLe32(f, at + 4) ^ 1
                             : DamagedSize(random, GetLe32(f, at + 4), f.size(), 0xFFFFFFFF);
            PutLe32(f, at + 4, size);
            const std::string id(f.begin() + ptrdiff_t(at), f.begin() + ptrdiff_t(at + 4));
            what << id << " size " << size;
            // A shorter size cuts the text, which still reads as clean text.
            d.mayChange = FieldOf(id);
            break;
        }
    }
    d.what = what.str();
    return d;
}

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
