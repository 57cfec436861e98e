// Tags as the encoders of the formats decoded by libraries write them (comments, pictures,
// ReplayGain and R128 gains), each read in the layout the table of formats gives the file, and
// files that are no song at all.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <set>
#include <thread>

#include "expected_tags.h"
#include "file_tags.h"
#include "playable_file.h"

namespace zirvak::test {
namespace {

constexpr TagLayout kEveryLayout[] = {TagLayout::kNone,      TagLayout::kId3AndApe,
                                      TagLayout::kRiffInfo,  TagLayout::kFlacBlocks,
                                      TagLayout::kOggVorbis, TagLayout::kOggOpus};

// The file `encode` ({in} and {out} replaced) makes of a second of WAV, as bytes.
Bytes Encoded(const TempDir& dir, const std::string& name, std::string encode) {
    const std::string wav = WriteBytes(dir.Path("in.wav"), MakeWav({}, Pcm()));
    const std::string out = dir.Path(name);
    encode.replace(encode.find("{out}"), 5, "'" + out + "'");
    encode.replace(encode.find("{in}"), 4, "'" + wav + "'");
    EXPECT_EQ(std::system(encode.c_str()), 0) << encode;
    return ReadFileBytes(out);
}

// Vorbis comments of FLAC, Ogg Vorbis and Opus files as their encoders write them, with a
// cover (a FLAC PICTURE block, METADATA_BLOCK_PICTURE in an Opus file's comments); known by
// their content, whatever their names.
TEST(SongTags, VorbisCommentsAndPicturesReadFromFlacAndOgg) {
    TempDir dir;
    const std::string wav = WriteBytes(dir.Path("in.wav"), MakeWav({}, Pcm()));
    const Bytes png = FakePng(3000, 5);
    // The picture's size given, so that the encoders do not look into its made-up bytes.
    const std::string cover = "3|image/png||1x1x24|" + WriteBytes(dir.Path("cover.png"), png);
    const std::string comments =
        " -T 'TITLE=Gece Yarısı' -T 'ARTIST=Ayşe' -T 'ALBUM=Kış' -T 'TRACKNUMBER=4' "
        "-T 'TRACKTOTAL=11' -T 'DATE=1999-02-03' -T 'GENRE=Caz' -T 'DISCNUMBER=1/2'";
    const struct {
        std::string name;
        std::string command;  // {in} and {out} replaced
        bool hasCover;
    } files[] = {
        {"song.flac", "flac --silent -f" + comments + " --picture='" + cover + "' -o {out} {in}",
         true},
        {"song-named.mp3", "flac --silent -f" + comments + " -o {out} {in}", false},
        {"song.ogg",
         "oggenc --quiet -t 'Gece Yarısı' -a 'Ayşe' -l 'Kış' -N 4 -d 1999-02-03 -G Caz "
         "-c TRACKTOTAL=11 -c DISCNUMBER=1/2 -o {out} {in}",
         false},
        {"song.opus",
         "opusenc --quiet --title 'Gece Yarısı' --artist 'Ayşe' --album 'Kış' --date 1999-02-03 "
         "--genre Caz --tracknumber 4 --comment TRACKTOTAL=11 --comment DISCNUMBER=1/2 "
         "--picture '" +
             cover + "' {in} {out}",
         true},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const std::string out = dir.Path(f.name);
        std::string command = f.command;
        command.replace(command.find("{out}"), 5, "'" + out + "'");
        command.replace(command.find("{in}"), 4, "'" + wav + "'");
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        const SongTags tags = ReadTagsOf(out);
        ExpectTags(tags,
                   {"Gece Yarısı", "Ayşe", "Kış", 4, f.hasCover ? png : Bytes{},
                    f.hasCover ? "image/png" : ""},
                   kWavMs);
        EXPECT_EQ(tags.trackTotal, 11);
        EXPECT_EQ(tags.year, 1999);
        EXPECT_EQ(tags.genre, "Caz");
        EXPECT_EQ(tags.discNumber, 1);
        EXPECT_EQ(tags.discTotal, 2);
    }
}

// A WavPack file's APEv2 tag as wavpack writes it, with its cover; known by its content.
TEST(SongTags, ApeTagsOfWavPack) {
    TempDir dir;
    const std::string wav = WriteBytes(dir.Path("in.wav"), MakeWav({}, Pcm()));
    const Bytes png = FakePng(3000, 5);
    const std::string cover = WriteBytes(dir.Path("cover.png"), png);
    for (const char* name : {"song.wv", "song-named.flac"}) {
        SCOPED_TRACE(name);
        const std::string out = dir.Path(name);
        const std::string command =
            "wavpack -q -y -w 'Title=Gece Yarısı' -w 'Artist=Ayşe' -w 'Album=Kış' -w 'Track=4/11' "
            "-w 'Year=1999' -w 'Genre=Caz' -w 'Disc=1/2' --write-binary-tag 'Cover Art "
            "(Front)=@" +
            cover + "' '" + wav + "' -o '" + out + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        const SongTags tags = ReadTagsOf(out);
        ExpectTags(tags, {"Gece Yarısı", "Ayşe", "Kış", 4, png, "image/png"}, kWavMs);
        EXPECT_EQ(tags.trackTotal, 11);
        EXPECT_EQ(tags.year, 1999);
        EXPECT_EQ(tags.genre, "Caz");
        EXPECT_EQ(tags.discNumber, 1);
        EXPECT_EQ(tags.discTotal, 2);
    }
}

TEST(SongTags, IlstItemsOfMp4) {
    TempDir dir;
    const std::string wav = WriteBytes(dir.Path("in.wav"), MakeWav({}, Pcm()));
    const std::string out = dir.Path("song.m4a");
    const std::string command =
        "ffmpeg -v error -y -i '" + wav +
        "' -c:a aac -metadata 'title=Gece Yarısı' -metadata artist=Ayşe -metadata album=Kış "
        "-metadata track=4/11 -metadata disc=1/2 -metadata date=1999 -metadata genre=Caz '" +
        out + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const SongTags tags = ReadTagsOf(out);
    EXPECT_EQ(tags.title, "Gece Yarısı");
    EXPECT_EQ(tags.artist, "Ayşe");
    EXPECT_EQ(tags.album, "Kış");
    EXPECT_EQ(tags.trackNumber, 4);
    EXPECT_EQ(tags.trackTotal, 11);
    EXPECT_EQ(tags.discNumber, 1);
    EXPECT_EQ(tags.discTotal, 2);
    EXPECT_EQ(tags.year, 1999);
    EXPECT_EQ(tags.genre, "Caz");
}

// ReplayGain values from every place they are kept: ID3v2 user text frames (any letter case
// in the name), APE items of MPEG and WavPack files, Vorbis comments of FLAC and Ogg Vorbis, and
// an Opus file's R128 gains
// (brought to ReplayGain's reference). A value out of range or unreadable is left out alone.
TEST(SongTags, ReplayGainFromEveryCarrier) {
    TempDir dir;
    const auto txxx = [](const std::string& name, const std::string& value) {
        return Id3v2FrameData{"TXXX", Latin1Text(name + std::string(1, '\0') + value)};
    };
    const std::string wav = WriteBytes(dir.Path("in.wav"), MakeWav({}, Pcm()));
    const auto encoded = [&](const std::string& name, const std::string& command) {
        const std::string out = dir.Path(name);
        const std::string full = command + " -o '" + out + "' '" + wav + "'";
        EXPECT_EQ(std::system(full.c_str()), 0) << full;
        return out;
    };
    const std::string comments =
        " -T REPLAYGAIN_TRACK_GAIN=-7.25 -T 'REPLAYGAIN_TRACK_PEAK=0.5' "
        "-T 'REPLAYGAIN_ALBUM_GAIN=+1.50 dB' -T REPLAYGAIN_ALBUM_PEAK=nan";
    const std::string opus = dir.Path("song.opus");
    const std::string opusCommand =
        "opusenc --quiet --comment R128_TRACK_GAIN=-512 --comment "
        "R128_ALBUM_GAIN=9000 '" +
        wav + "' '" + opus + "'";
    ASSERT_EQ(std::system(opusCommand.c_str()), 0);
    const struct {
        std::string name;
        std::string path;
        ReplayGainValues want;
    } files[] = {
        {"ID3v2",
         WriteBytes(dir.Path("id3.mp3"),
                    Concat({Id3v2Tag({.version = 3}, {txxx("replaygain_track_gain", "-7.25 dB"),
                                                      txxx("REPLAYGAIN_TRACK_PEAK", "0.5"),
                                                      txxx("REPLAYGAIN_ALBUM_GAIN", "+1.50 dB"),
                                                      txxx("REPLAYGAIN_ALBUM_PEAK", "nan")}),
                            Audio()})),
         {-7.25, 0.5, 1.5, std::nullopt}},
        {"APE",
         WriteBytes(dir.Path("ape.mp3"),
                    Concat({Audio(), ApeTag({{"REPLAYGAIN_TRACK_GAIN", ApeValue("-7.25 dB")},
                                             {"Replaygain_Track_Peak", ApeValue("0.5")},
                                             {"REPLAYGAIN_ALBUM_GAIN", ApeValue("+1.50 dB")},
                                             {"REPLAYGAIN_ALBUM_PEAK", ApeValue("x")}})})),
         {-7.25, 0.5, 1.5, std::nullopt}},
        {"FLAC",
         encoded("song.flac", "flac --silent -f" + comments),
         {-7.25, 0.5, 1.5, std::nullopt}},
        {"WavPack",
         encoded("song.wv",
                 "wavpack -q -y -w REPLAYGAIN_TRACK_GAIN=-7.25 -w 'Replaygain_Track_Peak=0.5' "
                 "-w 'REPLAYGAIN_ALBUM_GAIN=+1.50 dB' -w REPLAYGAIN_ALBUM_PEAK=x"),
         {-7.25, 0.5, 1.5, std::nullopt}},
        {"Vorbis",
         encoded("song.ogg",
                 "oggenc --quiet -c REPLAYGAIN_TRACK_GAIN=-7.25 -c REPLAYGAIN_TRACK_PEAK=0.5 "
                 "-c 'REPLAYGAIN_ALBUM_GAIN=+1.50 dB' -c REPLAYGAIN_ALBUM_PEAK=-1"),
         {-7.25, 0.5, 1.5, std::nullopt}},
        // -512/256 dB against -23 LUFS is +3 dB against -18; 9000/256 dB is out of range.
        {"Opus", opus, {3.0, std::nullopt, std::nullopt, std::nullopt}},
        {"none", WriteBytes(dir.Path("none.mp3"), Audio()), {}},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const ReplayGainValues got = ReadTagsOf(f.path).replayGain;
        EXPECT_EQ(got.trackGainDb, f.want.trackGainDb);
        EXPECT_EQ(got.trackPeak, f.want.trackPeak);
        EXPECT_EQ(got.albumGainDb, f.want.albumGainDb);
        EXPECT_EQ(got.albumPeak, f.want.albumPeak);
    }
}

// Nothing to read, and nothing that may stop or hang the reader: every field empty.
TEST(SongTags, WhatIsNoSongGivesEmptyTags) {
    TempDir dir;
    const std::string text = WriteBytes(dir.Path("notes.mp3"), Bytes(5000, 'z'));
    const std::string empty = WriteBytes(dir.Path("empty.mp3"), Bytes{});
    const std::string riffOnly = WriteBytes(dir.Path("riff.wav"), Bytes{'R', 'I', 'F', 'F'});
    const std::string tagOnly = WriteBytes(
        dir.Path("tag-only.mp3"), Id3v2Tag({.version = 4}, {{"TALB", Utf8Text("No audio")}}));
    const std::string fifo = dir.Path("fifo.mp3");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

    for (const std::string& path :
         {dir.Path("missing.mp3"), dir.dir, text, empty, riffOnly, fifo}) {
        SCOPED_TRACE(path);
        // A FIFO must be refused, not waited on: a reader that blocks fails here instead of
        // hanging the suite (a writer opened without blocking lets it go).
        // Through the table, and in every layout the reader may be told.
        std::vector<std::function<SongTags()>> readers = {[&] { return ReadTagsOf(path); }};
        for (const TagLayout layout : kEveryLayout)
            readers.push_back([&path, layout] { return ReadSongTags(path, layout); });
        for (const auto& reader : readers) {
            auto read = std::async(std::launch::async, reader);
            if (read.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
                ADD_FAILURE() << "the reader waits on the file";
                close(open(path.c_str(), O_WRONLY | O_NONBLOCK));
            }
            const SongTags tags = read.get();
            EXPECT_TRUE(tags.title.empty() && tags.artist.empty() && tags.album.empty());
            EXPECT_EQ(tags.trackNumber, 0);
            EXPECT_EQ(tags.lengthMs, 0);
            EXPECT_TRUE(tags.cover.empty() && tags.cover.mimeType.empty());
        }
    }
    // A tag without audio still says what it says.
    EXPECT_EQ(ReadTagsOf(tagOnly).album, "No audio");
}

// The reader looks where the layout it is told says, and nowhere else: it tells no kind of file
// from another itself. The table tells it, by the file's content, whatever its name.
TEST(SongTags, TheLayoutAloneSaysWhereTheTagsAre) {
    TempDir dir;
    const Bytes mp3 =
        Concat({Id3v2Tag({.version = 3}, {{"TIT2", Latin1Text("In the ID3 tag")}}), Audio()});
    const Bytes wav = WavFile(Pcm(), {InfoList({{"INAM", "In the INFO list"}})}, {});
    const Bytes flac = Encoded(dir, "song.flac",
                               "flac --silent -f -T 'TITLE=In the comment' "
                               "-o {out} {in}");
    // An ID3v2 tag before the audio is in every layout but RIFF INFO's; an INFO list is RIFF
    // INFO's alone, a comment block the FLAC layout's alone.
    const std::set<TagLayout> beforeTheAudio = {TagLayout::kId3AndApe, TagLayout::kFlacBlocks,
                                                TagLayout::kOggVorbis, TagLayout::kOggOpus};
    const struct {
        const char* name;
        Bytes file;
        std::set<TagLayout> holding;  // the layouts with a place for its tag
        const char* title;
    } files[] = {
        {"id3.wav", mp3, beforeTheAudio, "In the ID3 tag"},
        {"info.mp3", wav, {TagLayout::kRiffInfo}, "In the INFO list"},
        {"comment.ogg", flac, {TagLayout::kFlacBlocks}, "In the comment"},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const std::string path = WriteBytes(dir.Path(f.name), f.file);
        EXPECT_EQ(ReadTagsOf(path).title, f.title);
        for (const TagLayout layout : kEveryLayout) {
            const SongTags tags = ReadSongTags(path, layout);
            EXPECT_EQ(tags.title, f.holding.contains(layout) ? f.title : "") << int(layout);
        }
    }
}

// A file the player cannot play still gets the tags of the layout its format has; one of a
// kind that is only refused has none read.
TEST(SongTags, AFileThatCannotPlayGetsTheTagsOfItsLayout) {
    TempDir dir;
    WavParams six;
    six.channels = 6;
    Bytes wav = WithRiffInfo(MakeWav(six, Pcm16Pattern(4410, 6)), {{"INAM", "Six channels"}});
    const std::string sixChannels = WriteBytes(dir.Path("six.wav"), wav);
    EXPECT_EQ(CheckPlayable(sixChannels), FileProblem::kUnsupported);
    EXPECT_EQ(ReadTagsOf(sixChannels).title, "Six channels");

    // An Ogg stream of another codec, its comments where Vorbis has them.
    Bytes other = Encoded(dir, "song.ogg", "oggenc --quiet -t 'Not read' -o {out} {in}");
    const size_t packet = 27 + size_t(other[26]);
    std::copy_n("\x01speex!", 7, other.begin() + ptrdiff_t(packet));
    const std::string speex = WriteBytes(dir.Path("other.ogg"), other);
    EXPECT_EQ(CheckPlayable(speex), FileProblem::kUnsupported);
    EXPECT_EQ(ReadTagsOf(speex).title, "");
}

// An ID3v2 tag some programs put before an Ogg stream: the player steps over it, and the
// reader takes from it what the comments do not say.
TEST(SongTags, AnId3v2TagBeforeAnOggStreamFillsWhatTheCommentsLeaveOut) {
    TempDir dir;
    const Bytes id3 = Id3v2Tag(
        {.version = 3}, {{"TIT2", Latin1Text("ID3 title")}, {"TPE1", Latin1Text("ID3 artist")}});
    const Bytes files[] = {
        Encoded(dir, "song.ogg", "oggenc --quiet -t 'Comment title' -o {out} {in}"),
        Encoded(dir, "song.opus", "opusenc --quiet --title 'Comment title' {in} {out}"),
    };
    for (const Bytes& file : files) {
        const std::string path = WriteBytes(dir.Path("tagged"), Concat({id3, file}));
        EXPECT_EQ(CheckPlayable(path), FileProblem::kNone);
        const SongTags tags = ReadTagsOf(path);
        EXPECT_EQ(tags.title, "Comment title");
        EXPECT_EQ(tags.artist, "ID3 artist");
        EXPECT_NEAR(double(tags.lengthMs), double(kWavMs), 50.0);
    }
}

}  // namespace
}  // namespace zirvak::test
