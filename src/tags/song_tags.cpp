#include "song_tags.h"

#include <infotag.h>
#include <mp4file.h>
#include <wavfile.h>
#include <wavpackfile.h>

#include <cctype>
#include <tuple>

#include "id3_tags.h"
#include "read_only_file.h"
#include "tag_fields.h"
#include "xiph_tags.h"

namespace zirvak {

namespace {

// The INFO list of a WAV file. TagLib's own track() reads IPRT; ITRK is what most writers use.
void ReadInfo(const TagLib::RIFF::Info::Tag& tag, SongTags& out) {
    Fill(out.title, Text(tag.fieldText("INAM")));
    Fill(out.artist, Text(tag.fieldText("IART")));
    Fill(out.album, Text(tag.fieldText("IPRD")));
    Fill(out.year, ParseYear(Text(tag.fieldText("ICRD"))));
    Fill(out.genre, Text(tag.fieldText("IGNR")));
    Fill(out.trackNumber, out.trackTotal, ParseSetPosition(Text(tag.fieldText("ITRK"))));
    Fill(out.trackNumber, out.trackTotal, ParseSetPosition(Text(tag.fieldText("IPRT"))));
}

// A WAV file: an ID3v2 chunk first, then the INFO list.
void ReadRiffInfoFile(ReadOnlyFile& file, SongTags& out) {
    TagLib::RIFF::WAV::File wav(&file, true, TagLib::AudioProperties::Average);
    if (wav.hasID3v2Tag() && wav.ID3v2Tag() != nullptr) ReadId3v2(*wav.ID3v2Tag(), out);
    if (wav.hasInfoTag() && wav.InfoTag() != nullptr) ReadInfo(*wav.InfoTag(), out);
    ReadLength(wav.audioProperties(), out);
}

// A WavPack file: its APEv2 tag, then an ID3v1 tag.
void ReadApeFile(ReadOnlyFile& file, SongTags& out) {
    TagLib::WavPack::File wavpack(&file, true, TagLib::AudioProperties::Average);
    if (wavpack.hasAPETag() && wavpack.APETag() != nullptr) ReadApe(*wavpack.APETag(), out);
    if (wavpack.hasID3v1Tag() && wavpack.ID3v1Tag() != nullptr) ReadId3v1(*wavpack.ID3v1Tag(), out);
    ReadLength(wavpack.audioProperties(), out);
}

std::string Mp4Text(const TagLib::MP4::Tag& tag, const std::string& key) {
    const TagLib::MP4::Item item = tag.item(key);
    return item.isValid() ? Text(item.toStringList().toString(" / ")) : std::string();
}

// iTunes's own items are named by a "©" (0xA9 in Latin-1, as TagLib reads the names) and three
// letters.
std::string ItunesText(const TagLib::MP4::Tag& tag, const char* letters) {
    std::string key(1, '\xA9');
    key += letters;
    return Mp4Text(tag, key);
}

// An MP4 file's `ilst` items: iTunes's names, numbers as pairs, ReplayGain as freeform items
// (named in either letter case).
void ReadMp4File(ReadOnlyFile& file, SongTags& out) {
    TagLib::MP4::File mp4(&file, true, TagLib::AudioProperties::Average);
    if (const TagLib::MP4::Tag* tag = mp4.tag(); tag != nullptr) {
        Fill(out.title, ItunesText(*tag, "nam"));
        Fill(out.artist, ItunesText(*tag, "ART"));
        Fill(out.artist, Mp4Text(*tag, "aART"));
        Fill(out.album, ItunesText(*tag, "alb"));
        Fill(out.year, ParseYear(ItunesText(*tag, "day")));
        Fill(out.genre, ItunesText(*tag, "gen"));
        for (const auto& [key, number, total] :
             {std::tuple{"trkn", &out.trackNumber, &out.trackTotal},
              std::tuple{"disk", &out.discNumber, &out.discTotal}}) {
            const TagLib::MP4::Item item = tag->item(key);
            if (!item.isValid()) continue;
            const TagLib::MP4::Item::IntPair pair = item.toIntPair();
            if (pair.first > 0) Fill(*number, pair.first);
            if (pair.second > 0) Fill(*total, pair.second);
        }
        const TagLib::MP4::CoverArtList covers = tag->item("covr").toCoverArtList();
        if (out.cover.empty() && !covers.isEmpty())
            out.cover = MakeCover(covers.front().data(), {});
        FillReplayGain(out.replayGain, [tag](const char* name) {
            const std::string key = "----:com.apple.iTunes:" + std::string(name);
            std::string lower = key;
            for (char& c : lower) c = char(std::tolower(uint8_t(c)));
            std::string text = Mp4Text(*tag, lower);
            return text.empty() ? Mp4Text(*tag, key) : text;
        });
    }
    ReadLength(mp4.audioProperties(), out);
}

void Read(const std::string& path, TagLayout layout, SongTags& out) {
    ReadOnlyFile file(path);
    if (!file.isOpen()) return;
    switch (layout) {
        case TagLayout::kNone:
            return;
        case TagLayout::kId3AndApe:
            return ReadId3AndApeFile(file, out);
        case TagLayout::kRiffInfo:
            return ReadRiffInfoFile(file, out);
        case TagLayout::kApe:
            return ReadApeFile(file, out);
        case TagLayout::kMp4:
            return ReadMp4File(file, out);
        default:
            return ReadXiphLayoutFile(file, layout, out);
    }
}

}  // namespace

SongTags ReadSongTags(const std::string& path, TagLayout layout) {
    SongTags tags;
    try {
        Read(path, layout, tags);
    } catch (...) {
        // Out of memory, or anything else TagLib lets through: what was read is already clean,
        // and a field not reached stays empty.
    }
    return tags;
}

}  // namespace zirvak
