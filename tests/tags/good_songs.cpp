#include "damaged_songs.h"

#include "file_tags.h"

namespace zirvak::test {

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

}  // namespace zirvak::test
