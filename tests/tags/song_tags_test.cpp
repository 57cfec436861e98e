// Tags read from songs whose tags were written here byte by byte: each tag format and text
// encoding, the order tags are preferred in, covers, and text that must not be shown.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "expected_tags.h"
#include "file_tags.h"

namespace zirvak::test {
namespace {

TEST(SongTags, EachFormatAndEncodingReads) {
    const int64_t mp3Ms = MpegDurationMs(Audio());
    ASSERT_GT(mp3Ms, 1900);
    const Bytes jpeg = FakeJpeg(3000, 1), png = FakePng(2000, 2);
    const std::string longText(1500, 'x');

    const struct {
        const char* name;  // also the file's name: its extension is what a user would see
        Bytes file;
        Expected expected;
    } cases[] = {
        {"v23-utf16.mp3",
         Concat({Id3v2Tag({.version = 3}, {{"TIT2", Utf16Text(u"G\u00fcl \u00bd \U0001F600 Title")},
                                           {"TPE1", Utf16Text(u"\u00c4rtist", /*bigEndian=*/true)},
                                           {"TALB", Utf16Text(u"  Album \u00e9 ")},
                                           {"TRCK", Latin1Text("3/12")},
                                           {"APIC", ApicBody("image/jpeg", 0, jpeg)}}),
                 Audio()}),
         {"G\u00fcl \u00bd \U0001F600 Title", "\u00c4rtist", "Album \u00e9", 3, jpeg,
          "image/jpeg"}},
        {"v24-utf8.mp3",
         Concat(
             {Id3v2Tag({.version = 4},
                       {{"TIT2", Utf8Text("\u0417\u0430\u0433\u043e\u043b\u043e\u0432\u043e\u043a "
                                          "\u9898")},
                        {"TPE1", Utf16BeText(u"Artist \u00df")},
                        {"TALB", Latin1Text("Caf\xe9")},
                        {"TRCK", Utf8Text("07")},
                        // A back cover first: the front cover is the one shown.
                        {"APIC", ApicBody("image/png", 4, png)},
                        {"APIC", ApicBody("image/jpg", 3, jpeg)}}),
              Audio()}),
         {"\u0417\u0430\u0433\u043e\u043b\u043e\u0432\u043e\u043a \u9898", "Artist \u00df",
          "Caf\u00e9", 7, jpeg, "image/jpeg"}},
        // Latin-1 "ÿé" is FF E9 and the picture is full of FF Ex and FF 00: every one of them
        // unsynchronised, and the tag's size that of the unsynchronised bytes.
        {"v23-unsynchronised.mp3",
         Concat({Id3v2Tag({.version = 3, .unsynchronise = true},
                          {{"TIT2", Latin1Text("Na\xefve \xff\xe9t\xe9")},
                           {"TPE1", Utf16Text(u"\u00ff\u00ff Artist")},
                           {"APIC", ApicBody("", 3, jpeg)},
                           {"TALB", Latin1Text("After the picture")}}),
                 Audio()}),
         {"Na\u00efve \u00ff\u00e9t\u00e9", "\u00ff\u00ff Artist", "After the picture", 0, jpeg,
          "image/jpeg"}},
        {"v24-unsynchronised.mp3",
         Concat({Id3v2Tag({.version = 4, .unsynchronise = true},
                          {{"TIT2", Latin1Text("\xff\xff\xff")},
                           {"APIC", ApicBody("image/png", 3, png)},
                           {"TALB", Utf8Text("\u00ff")}}),
                 Audio()}),
         {"\u00ff\u00ff\u00ff", "", "\u00ff", 0, png, "image/png"}},
        // Extended headers, which TagLib misreads on its own: with no padding after a 2.4 tag,
        // its last frame is lost; a 2.3 tag is not read at all.
        {"v24-extended-header.mp3",
         Concat({Id3v2Tag({.version = 4, .extendedHeader = true},
                          {{"TIT2", Utf8Text("Extended")}, {"TRCK", Utf8Text("11/11")}}),
                 Audio()}),
         {"Extended", "", "", 11, {}, ""}},
        {"v23-extended-header-crc.mp3",
         Concat({Id3v2Tag({.version = 3, .extendedHeader = true, .padding = 64},
                          {{"TIT2", Latin1Text("With CRC")}, {"TPE1", Latin1Text("Someone")}}),
                 Audio()}),
         {"With CRC", "Someone", "", 0, {}, ""}},
        {"v23-extended-header-unsynchronised.mp3",
         Concat(
             {Id3v2Tag(
                  {.version = 3, .extendedHeader = true, .unsynchronise = true, .padding = 0xFFFF},
                  {{"TIT2", Latin1Text("\xff\xff")}, {"APIC", ApicBody("", 3, png)}}),
              Audio()}),
         {"\u00ff\u00ff", "", "", 0, png, "image/png"}},
        {"id3v1.mp3",
         Concat({Audio(), Id3v1Tag("V1 title", "V1 artist", "V1 album", 5)}),
         {"V1 title", "V1 artist", "V1 album", 5, {}, ""}},
        {"id3v1-no-track.mp3",
         Concat({Audio(), Id3v1Tag("Thirty characters, every one!!", "A", "")}),
         {"Thirty characters, every one!!", "A", "", 0, {}, ""}},
        {"ape.mp3",
         Concat({Audio(), ApeTag({{"Title", ApeValue("APE title \u00e9")},
                                  {"Artist", ApeValue("APE artist")},
                                  {"Album", ApeValue("APE album")},
                                  {"Track", ApeValue("4/10")},
                                  {"Cover Art (Front)",
                                   Concat({ApeValue("front.png"), Bytes{0}, png}), true}})}),
         {"APE title \u00e9", "APE artist", "APE album", 4, png, "image/png"}},
        // APE is preferred to ID3v1; a field APE lacks comes from ID3v1. No APE header.
        {"ape-then-id3v1.mp3",
         Concat({Audio(),
                 ApeTag({{"TITLE", ApeValue("APE wins")}, {"Album", ApeValue("   ")}}, false),
                 Id3v1Tag("ID3v1 loses", "ID3v1 artist", "ID3v1 album", 2)}),
         {"APE wins", "ID3v1 artist", "ID3v1 album", 2, {}, ""}},
        // ID3v2 wins; what it leaves empty (a blank artist, no album, no track) ID3v1 fills.
        {"id3v2-and-id3v1.mp3",
         Concat({Id3v2Tag({.version = 3},
                          {{"TIT2", Latin1Text("ID3v2 title")}, {"TPE1", Latin1Text(" \t ")}}),
                 Audio(), Id3v1Tag("ID3v1 title", "ID3v1 artist", "ID3v1 album", 9)}),
         {"ID3v2 title", "ID3v1 artist", "ID3v1 album", 9, {}, ""}},
        // Text never shown: a control character, an encoding byte ID3v2 does not define (TagLib
        // would read it as UTF-16), a negative track; ID3v1 fills in. Long text is cut.
        {"text-left-out.mp3",
         Concat({Id3v2Tag({.version = 4}, {{"TIT2", Latin1Text("Bad\x01title")},
                                           {"TPE1", Bytes{0x05, 'H', 'i', 'd', 'e'}},
                                           {"TALB", Utf8Text(longText)},
                                           {"TRCK", Latin1Text("-5/12")}}),
                 Audio(), Id3v1Tag("ID3v1 title", "ID3v1 artist", "", 6)}),
         {"ID3v1 title", "ID3v1 artist", longText.substr(0, kMaxTagTextBytes), 6, {}, ""}},
        {"info.wav",
         WavFile(Pcm(),
                 {InfoList({{"INAM", "Wave title"},
                            {"IART", "Wave artist"},
                            {"IPRD", "Wave album"},
                            {"ITRK", "2"}})},
                 {}),
         {"Wave title", "Wave artist", "Wave album", 2, {}, ""}},
        // A WAV file named .mp3 is still read as one.
        {"info-named.mp3",
         WavFile(Pcm(), {}, {InfoList({{"INAM", "Named wrong"}, {"IPRT", "8"}})}),
         {"Named wrong", "", "", 8, {}, ""}},
        // An "id3 " chunk is preferred to the INFO list; what it lacks comes from INFO.
        {"id3-chunk.wav",
         WavFile(Pcm(), {InfoList({{"INAM", "INFO title"}, {"IART", "INFO artist"}})},
                 {RiffChunk("id3 ", Id3v2Tag({.version = 3},
                                             {{"TIT2", Utf16Text(u"ID3 title")},
                                              {"TRCK", Latin1Text("1/2")},
                                              {"APIC", ApicBody("image/jpeg", 3, jpeg)}}))}),
         {"ID3 title", "INFO artist", "", 1, jpeg, "image/jpeg"}},
        // An MPEG file named .wav is still read as one.
        {"mpeg-named.wav",
         Concat({Id3v2Tag({.version = 4}, {{"TIT2", Utf8Text("MPEG after all")}}), Audio()}),
         {"MPEG after all", "", "", 0, {}, ""}},
        {"untagged.mp3", Audio(), {}},
        {"untagged.wav", WavFile(Pcm(), {}, {}), {}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = WriteBytes(dir.Path(c.name), c.file);
        const bool wav = c.file[0] == 'R';
        ExpectTags(ReadTagsOf(path), c.expected, wav ? kWavMs : mp3Ms);
    }
}

// Year, genre, track and disc with their totals, from each tag format; a number and its total
// always from the same tag, and what is damaged left for the next tag to fill.
TEST(SongTags, YearGenreTrackAndDiscReadFromEachFormat) {
    const struct {
        const char* name;
        Bytes file;
        int year;
        std::string genre;
        int track, trackTotal, disc, discTotal;
    } cases[] = {
        // 2.3: a year, a genre by number and refined by text, "n/total".
        {"v23.mp3",
         Concat({Id3v2Tag({.version = 3}, {{"TYER", Latin1Text("1999")},
                                           {"TCON", Latin1Text("(17)Rock & Roll")},
                                           {"TRCK", Latin1Text("3/12")},
                                           {"TPOS", Latin1Text("1/2")}}),
                 Audio()}),
         1999, "Rock & Roll", 3, 12, 1, 2},
        // 2.4: a full date, a genre by number alone.
        {"v24.mp3",
         Concat({Id3v2Tag({.version = 4}, {{"TDRC", Utf8Text("2004-05-06T10:00")},
                                           {"TCON", Utf8Text("17")},
                                           {"TRCK", Utf8Text("07")},
                                           {"TPOS", Utf16Text(u"2/3")}}),
                 Audio()}),
         2004, "Rock", 7, 0, 2, 3},
        // A 2.4 tag with 2.3's year frame; the 2.4 way of refining a genre, and a remix.
        {"v24-old-frames.mp3",
         Concat({Id3v2Tag({.version = 4},
                          {{"TYER", Latin1Text("1987")}, {"TCON", Latin1Text("(4)Eurodisco")}}),
                 Audio()}),
         1987, "Eurodisco", 0, 0, 0, 0},
        {"v23-remix.mp3",
         Concat({Id3v2Tag({.version = 3}, {{"TCON", Latin1Text("(RX)")}}), Audio()}), 0, "Remix", 0,
         0, 0, 0},
        // Damaged: each left out, and ID3v1 fills what it can (its track without a total).
        {"v23-damaged-and-v1.mp3",
         Concat({Id3v2Tag({.version = 3}, {{"TYER", Latin1Text("19x9")},
                                           {"TCON", Latin1Text("(200)")},
                                           {"TRCK", Latin1Text("0/12")},
                                           {"TPOS", Latin1Text("5/3")}}),
                 Audio(), Id3v1Tag("T", "A", "", 9, "1975", 8)}),
         1975, "Jazz", 9, 0, 5, 0},
        {"ape.mp3",
         Concat({Audio(), ApeTag({{"Year", ApeValue("2010")},
                                  {"GENRE", ApeValue("Ambient")},
                                  {"Track", ApeValue("4/10")},
                                  {"Disc", ApeValue("1/1")}})}),
         2010, "Ambient", 4, 10, 1, 1},
        // APE without a track: ID3v1's track comes with no total of APE's.
        {"ape-then-id3v1.mp3",
         Concat({Audio(), ApeTag({{"Disc", ApeValue("2")}}), Id3v1Tag("", "", "", 6, "19x9", 0)}),
         0, "Blues", 6, 0, 2, 0},
        {"id3v1-no-genre.mp3", Concat({Audio(), Id3v1Tag("", "", "", 0, "1995", 255)}), 1995, "", 0,
         0, 0, 0},
        {"info.wav",
         WavFile(Pcm(), {InfoList({{"ICRD", "2001-09-09"}, {"IGNR", "Folk"}, {"ITRK", "2/9"}})},
                 {}),
         2001, "Folk", 2, 9, 0, 0},
        {"untagged.mp3", Audio(), 0, "", 0, 0, 0, 0},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SongTags tags = ReadTagsOf(WriteBytes(dir.Path(c.name), c.file));
        EXPECT_EQ(tags.year, c.year);
        EXPECT_EQ(tags.genre, c.genre);
        EXPECT_EQ(tags.trackNumber, c.track);
        EXPECT_EQ(tags.trackTotal, c.trackTotal);
        EXPECT_EQ(tags.discNumber, c.disc);
        EXPECT_EQ(tags.discTotal, c.discTotal);
    }
}

// TagLib's own reading of the file, and ours around it, must never write to it.
TEST(SongTags, TheFileIsNeverWritten) {
    TempDir dir;
    const Bytes file =
        Concat({Id3v2Tag({.version = 3}, {{"TIT2", Latin1Text("Read only")}}), Audio()});
    const std::string path = WriteBytes(dir.Path("song.mp3"), file);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(ReadTagsOf(path).title, "Read only");
    ASSERT_EQ(chmod(path.c_str(), 0644), 0);
    EXPECT_EQ(ReadTagsOf(path).title, "Read only");
    EXPECT_TRUE(ReadFileBytes(path) == file);
}

TEST(SongTags, HugeCoverIsLeftOutAndTheRestReads) {
    constexpr size_t kFiftyMegabytes = 50'000'000;
    static_assert(kFiftyMegabytes > kMaxCoverBytes);
    TempDir dir;
    const std::string path = WriteBytes(
        dir.Path("huge-cover.mp3"),
        Concat({Id3v2Tag({.version = 4},
                         {{"TIT2", Utf8Text("Big picture")},
                          {"APIC", ApicBody("image/jpeg", 3, FakeJpeg(kFiftyMegabytes, 3))},
                          {"TPE1", Utf8Text("After it")},
                          {"TRCK", Utf8Text("1")},
                          {"APIC", ApicBody("image/png", 4, FakePng(900, 5))}}),
                Audio()}));
    // The back cover stands in for the front cover that is too big.
    ExpectTags(ReadTagsOf(path), {"Big picture", "After it", "", 1, FakePng(900, 5), "image/png"},
               MpegDurationMs(Audio()));

    // One byte over the limit is over it; at the limit, the cover is kept.
    for (const size_t size : {kMaxCoverBytes, kMaxCoverBytes + 1}) {
        WriteBytes(path, Concat({Id3v2Tag({.version = 3},
                                          {{"APIC", ApicBody("image/png", 3, FakePng(size, 4))}}),
                                 Audio()}));
        EXPECT_EQ(ReadTagsOf(path).cover.data.size(), size <= kMaxCoverBytes ? size : 0) << size;
    }
}

}  // namespace
}  // namespace zirvak::test
