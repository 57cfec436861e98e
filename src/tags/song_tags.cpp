#include "song_tags.h"

#include <apetag.h>
#include <attachedpictureframe.h>
#include <flacfile.h>
#include <flacpicture.h>
#include <id3v1genres.h>
#include <id3v1tag.h>
#include <id3v2tag.h>
#include <infotag.h>
#include <mpegfile.h>
#include <textidentificationframe.h>
#include <vorbisfile.h>
#include <wavfile.h>
#include <xiphcomment.h>
// With its folder: the Opus decoder's own library has a header of the same name.
#include <taglib/opusfile.h>

#include <algorithm>
#include <cstring>

#include "extended_header.h"
#include "read_only_file.h"
#include "tag_text.h"

namespace zirvak {

namespace {

std::string Text(const TagLib::String& text) {
    return CleanTagText(text.to8Bit(true));
}

void Fill(std::string& field, const std::string& text) {
    if (field.empty()) field = text;
}
void Fill(int& number, int value) {
    if (number == 0) number = value;
}
// A track or a disc: its number and the set's total come from the same tag, or not at all.
void Fill(int& number, int& total, SetPosition position) {
    if (number != 0 || position.number == 0) return;
    number = position.number;
    total = position.total;
}

// A text frame that ID3v2 encodes in one of its four encodings; TagLib reads a frame with any
// other encoding byte as UTF-16 without saying so, which gives garbage.
const TagLib::ID3v2::TextIdentificationFrame* ReadableText(const TagLib::ID3v2::Frame* frame) {
    const auto* text = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(frame);
    if (text == nullptr) return nullptr;
    switch (text->textEncoding()) {
        case TagLib::String::Latin1:
        case TagLib::String::UTF16:
        case TagLib::String::UTF16BE:
        case TagLib::String::UTF8:
            return text;
        default:
            return nullptr;
    }
}

// The first text of a text frame (`id`).
std::string Id3v2Text(const TagLib::ID3v2::Tag& tag, const char* id) {
    for (const TagLib::ID3v2::Frame* frame : tag.frameList(id))
        if (const auto* text = ReadableText(frame))
            if (std::string clean = Text(text->toString()); !clean.empty()) return clean;
    return {};
}

// The clean fields of the first text frame `id` that has any; a field that is not clean is
// left out, the others kept.
std::vector<std::string> Id3v2Fields(const TagLib::ID3v2::Tag& tag, const char* id) {
    for (const TagLib::ID3v2::Frame* frame : tag.frameList(id)) {
        const auto* text = ReadableText(frame);
        if (text == nullptr) continue;
        std::vector<std::string> fields;
        for (const TagLib::String& field : text->fieldList())
            if (std::string clean = Text(field); !clean.empty()) fields.push_back(std::move(clean));
        if (!fields.empty()) return fields;
    }
    return {};
}

// The genre a content-type frame names: its first text (a name, or the refinement of a number:
// TagLib splits "(4)Eurodisco" into the fields "4" and "Eurodisco"), else the name its first
// number has in ID3v1's list.
std::string Id3v2Genre(const TagLib::ID3v2::Tag& tag) {
    int number = -1;
    for (const std::string& field : Id3v2Fields(tag, "TCON")) {
        GenreField genre = ParseGenreField(field);
        if (!genre.text.empty()) return std::move(genre.text);
        if (number < 0) number = genre.number;
    }
    return number < 0 ? std::string() : Text(TagLib::ID3v1::genre(number));
}

CoverArt MakeCover(const TagLib::ByteVector& data, std::string_view declaredType) {
    CoverArt cover;
    if (data.isEmpty() || data.size() > kMaxCoverBytes) return cover;
    cover.data.assign(data.begin(), data.end());
    cover.mimeType = CoverMimeType(cover.data, declaredType);
    return cover;
}

// The front cover among the attached pictures, else the first picture; pictures that only
// link to a file ("-->") or are too big are passed over.
CoverArt Id3v2Cover(const TagLib::ID3v2::Tag& tag) {
    using TagLib::ID3v2::AttachedPictureFrame;
    const AttachedPictureFrame* chosen = nullptr;
    for (const TagLib::ID3v2::Frame* frame : tag.frameList("APIC")) {
        const auto* picture = dynamic_cast<const AttachedPictureFrame*>(frame);
        if (picture == nullptr || picture->mimeType() == "-->" || picture->picture().isEmpty() ||
            picture->picture().size() > kMaxCoverBytes)
            continue;
        if (chosen == nullptr || (picture->type() == AttachedPictureFrame::FrontCover &&
                                  chosen->type() != AttachedPictureFrame::FrontCover))
            chosen = picture;
    }
    if (chosen == nullptr) return {};
    return MakeCover(chosen->picture(), chosen->mimeType().to8Bit(false));
}

// Fills the ReplayGain values that are still missing from `text(name)`, the text of the
// field of each ReplayGain name.
template <typename Text>
void FillReplayGain(ReplayGainValues& gain, Text text) {
    auto fill = [](std::optional<double>& value, std::optional<double> read) {
        if (!value) value = read;
    };
    fill(gain.trackGainDb, ParseReplayGainDb(text("REPLAYGAIN_TRACK_GAIN")));
    fill(gain.trackPeak, ParseReplayGainPeak(text("REPLAYGAIN_TRACK_PEAK")));
    fill(gain.albumGainDb, ParseReplayGainDb(text("REPLAYGAIN_ALBUM_GAIN")));
    fill(gain.albumPeak, ParseReplayGainPeak(text("REPLAYGAIN_ALBUM_PEAK")));
}

// The value of the user text frame (TXXX) whose description is `description` in any letter
// case.
std::string Id3v2UserText(const TagLib::ID3v2::Tag& tag, const char* description) {
    const TagLib::String wanted = TagLib::String(description).upper();
    for (const TagLib::ID3v2::Frame* frame : tag.frameList("TXXX")) {
        const auto* user = dynamic_cast<const TagLib::ID3v2::UserTextIdentificationFrame*>(frame);
        if (user == nullptr || user->description().upper() != wanted) continue;
        const TagLib::StringList fields = user->fieldList();
        // The first field is the description itself.
        if (fields.size() >= 2) return Text(fields[1]);
    }
    return {};
}

void ReadId3v2(const TagLib::ID3v2::Tag& tag, SongTags& out) {
    Fill(out.title, Id3v2Text(tag, "TIT2"));
    Fill(out.artist, Id3v2Text(tag, "TPE1"));
    Fill(out.album, Id3v2Text(tag, "TALB"));
    // ID3v2.3's TYER reads as 2.4's TDRC; a 2.4 tag may still hold a TYER of its own.
    Fill(out.year, ParseYear(Id3v2Text(tag, "TDRC")));
    Fill(out.year, ParseYear(Id3v2Text(tag, "TYER")));
    Fill(out.genre, Id3v2Genre(tag));
    Fill(out.trackNumber, out.trackTotal, ParseSetPosition(Id3v2Text(tag, "TRCK")));
    Fill(out.discNumber, out.discTotal, ParseSetPosition(Id3v2Text(tag, "TPOS")));
    if (out.cover.empty()) out.cover = Id3v2Cover(tag);
    FillReplayGain(out.replayGain, [&tag](const char* name) { return Id3v2UserText(tag, name); });
}

// APE item keys are case-insensitive; TagLib keeps them in upper case, but nothing says so.
const TagLib::APE::Item* ApeItem(const TagLib::APE::Tag& tag, const char* key) {
    const TagLib::String wanted = TagLib::String(key).upper();
    for (const auto& [name, item] : tag.itemListMap())
        if (name.upper() == wanted) return &item;
    return nullptr;
}

std::string ApeText(const TagLib::APE::Tag& tag, const char* key) {
    const TagLib::APE::Item* item = ApeItem(tag, key);
    if (item == nullptr || item->type() != TagLib::APE::Item::Text) return {};
    return Text(item->toString());
}

// "Cover Art (Front)" holds a file name, a NUL, then the picture.
CoverArt ApeCover(const TagLib::APE::Tag& tag) {
    const TagLib::APE::Item* item = ApeItem(tag, "Cover Art (Front)");
    if (item == nullptr || item->type() != TagLib::APE::Item::Binary) return {};
    const TagLib::ByteVector value = item->binaryData();
    const int nul = value.find('\0');
    if (nul < 0) return {};
    return MakeCover(value.mid(static_cast<unsigned int>(nul) + 1), {});
}

void ReadApe(const TagLib::APE::Tag& tag, SongTags& out) {
    Fill(out.title, ApeText(tag, "Title"));
    Fill(out.artist, ApeText(tag, "Artist"));
    Fill(out.album, ApeText(tag, "Album"));
    Fill(out.year, ParseYear(ApeText(tag, "Year")));
    Fill(out.genre, ApeText(tag, "Genre"));
    Fill(out.trackNumber, out.trackTotal, ParseSetPosition(ApeText(tag, "Track")));
    Fill(out.discNumber, out.discTotal, ParseSetPosition(ApeText(tag, "Disc")));
    if (out.cover.empty()) out.cover = ApeCover(tag);
    FillReplayGain(out.replayGain, [&tag](const char* name) { return ApeText(tag, name); });
}

void ReadId3v1(const TagLib::ID3v1::Tag& tag, SongTags& out) {
    Fill(out.title, Text(tag.title()));
    Fill(out.artist, Text(tag.artist()));
    Fill(out.album, Text(tag.album()));
    // Four characters, which TagLib reads as a number even when they are damaged ("19x9" is 19).
    if (tag.year() >= 1000 && tag.year() <= 9999) Fill(out.year, int(tag.year()));
    Fill(out.genre, Text(tag.genre()));                       // named from its number; none for 255
    Fill(out.trackNumber, int(std::min(tag.track(), 255u)));  // one byte in ID3v1.1
}

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

// The first value of a Vorbis comment field (TagLib keeps the names in capitals).
std::string XiphText(const TagLib::Ogg::XiphComment& tag, const char* name) {
    const TagLib::Ogg::FieldListMap& fields = tag.fieldListMap();
    const auto field = fields.find(name);
    if (field == fields.end() || field->second.isEmpty()) return {};
    return Text(field->second.front());
}

// A track or a disc: "3/12" in its number field, or its total in a field of its own.
SetPosition XiphSetPosition(const TagLib::Ogg::XiphComment& tag, const char* numberName,
                            std::initializer_list<const char*> totalNames) {
    SetPosition position = ParseSetPosition(XiphText(tag, numberName));
    for (const char* name : totalNames)
        if (position.number != 0 && position.total == 0)
            position.total = ParseSetPosition(XiphText(tag, name)).number;
    return position;
}

// The front cover among the pictures (FLAC PICTURE blocks, or METADATA_BLOCK_PICTURE in the
// comments of an Ogg file), else the first picture.
CoverArt PictureCover(const TagLib::List<TagLib::FLAC::Picture*>& pictures) {
    const TagLib::FLAC::Picture* chosen = nullptr;
    for (const TagLib::FLAC::Picture* picture : pictures) {
        if (picture == nullptr || picture->data().isEmpty()) continue;
        if (chosen == nullptr) chosen = picture;
        if (picture->type() == TagLib::FLAC::Picture::FrontCover) {
            chosen = picture;
            break;
        }
    }
    if (chosen == nullptr) return {};
    return MakeCover(chosen->data(), chosen->mimeType().to8Bit());
}

void ReadXiph(TagLib::Ogg::XiphComment& tag, SongTags& out) {
    Fill(out.title, XiphText(tag, "TITLE"));
    Fill(out.artist, XiphText(tag, "ARTIST"));
    Fill(out.album, XiphText(tag, "ALBUM"));
    Fill(out.year, ParseYear(XiphText(tag, "DATE")));
    Fill(out.genre, XiphText(tag, "GENRE"));
    Fill(out.trackNumber, out.trackTotal,
         XiphSetPosition(tag, "TRACKNUMBER", {"TRACKTOTAL", "TOTALTRACKS"}));
    Fill(out.discNumber, out.discTotal,
         XiphSetPosition(tag, "DISCNUMBER", {"DISCTOTAL", "TOTALDISCS"}));
    if (out.cover.empty()) out.cover = PictureCover(tag.pictureList());
    FillReplayGain(out.replayGain, [&tag](const char* name) { return XiphText(tag, name); });
}

// An Opus file's gains: R128_TRACK_GAIN and R128_ALBUM_GAIN, which come on top of the output
// gain of its header as ReplayGain's do, before any REPLAYGAIN_* comment.
void ReadOpusGains(const TagLib::Ogg::XiphComment& tag, SongTags& out) {
    out.replayGain.trackGainDb = ParseR128GainDb(XiphText(tag, "R128_TRACK_GAIN"));
    out.replayGain.albumGainDb = ParseR128GainDb(XiphText(tag, "R128_ALBUM_GAIN"));
}

// The kinds of file told by their first bytes, as the player tells them.
enum class Kind { kWav, kFlac, kVorbis, kOpus, kOther };

Kind KindOf(ReadOnlyFile& file, const std::vector<uint8_t>& start) {
    auto at = [&start](size_t offset, const char* marker) {
        const size_t length = std::strlen(marker);
        return start.size() >= offset + length &&
               std::memcmp(start.data() + offset, marker, length) == 0;
    };
    if (at(0, "RIFF")) return Kind::kWav;
    if (at(0, "fLaC")) return Kind::kFlac;
    if (at(0, "OggS") && start.size() > 27) {
        const size_t packet = 27 + size_t(start[26]);
        if (at(packet, "\x01vorbis")) return Kind::kVorbis;
        if (at(packet, "OpusHead")) return Kind::kOpus;
        return Kind::kOther;
    }
    // FLAC after an ID3v2 tag.
    if (at(0, "ID3") && start.size() >= 10 &&
        !((start[6] | start[7] | start[8] | start[9]) & 0x80)) {
        const uint64_t size = uint64_t(start[6]) << 21 | uint64_t(start[7]) << 14 |
                              uint64_t(start[8]) << 7 | uint64_t(start[9]);
        const uint64_t after = 10 + size + ((start[5] & 0x10) ? 10 : 0);
        const std::vector<uint8_t> marker = file.ReadAt(after, 4);
        if (marker.size() == 4 && std::memcmp(marker.data(), "fLaC", 4) == 0) return Kind::kFlac;
    }
    return Kind::kOther;
}

void ReadLength(const TagLib::AudioProperties* properties, SongTags& out) {
    if (properties != nullptr) out.lengthMs = std::max(0, properties->lengthInMilliseconds());
}

void Read(const std::string& path, SongTags& out) {
    ReadOnlyFile file(path);
    if (!file.isOpen()) return;
    const std::vector<uint8_t> start = file.ReadAt(0, kExtendedHeaderLookahead);
    // By content: a WAV file named .mp3 is still a WAV file, a FLAC file named .ogg a FLAC file.
    // Everything else is taken for MPEG audio, whatever its name, since MPEG streams have no
    // fixed start.
    const Kind kind = KindOf(file, start);
    if (kind == Kind::kFlac) {
        TagLib::FLAC::File flac(&file, TagLib::ID3v2::FrameFactory::instance(), true,
                                TagLib::AudioProperties::Average);
        if (flac.hasXiphComment() && flac.xiphComment() != nullptr)
            ReadXiph(*flac.xiphComment(), out);
        if (out.cover.empty()) out.cover = PictureCover(flac.pictureList());
        if (flac.hasID3v2Tag() && flac.ID3v2Tag() != nullptr) ReadId3v2(*flac.ID3v2Tag(), out);
        ReadLength(flac.audioProperties(), out);
        return;
    }
    if (kind == Kind::kVorbis) {
        TagLib::Ogg::Vorbis::File vorbis(&file, true, TagLib::AudioProperties::Average);
        if (vorbis.tag() != nullptr) ReadXiph(*vorbis.tag(), out);
        ReadLength(vorbis.audioProperties(), out);
        return;
    }
    if (kind == Kind::kOpus) {
        TagLib::Ogg::Opus::File opus(&file, true, TagLib::AudioProperties::Average);
        if (opus.tag() != nullptr) {
            ReadOpusGains(*opus.tag(), out);
            ReadXiph(*opus.tag(), out);
        }
        ReadLength(opus.audioProperties(), out);
        return;
    }
    if (kind == Kind::kOther && start.size() >= 4 && std::memcmp(start.data(), "OggS", 4) == 0)
        return;  // an Ogg stream of another kind: no MPEG tags to look for
    if (kind == Kind::kWav) {
        TagLib::RIFF::WAV::File wav(&file, true, TagLib::AudioProperties::Average);
        if (wav.hasID3v2Tag() && wav.ID3v2Tag() != nullptr) ReadId3v2(*wav.ID3v2Tag(), out);
        if (wav.hasInfoTag() && wav.InfoTag() != nullptr) ReadInfo(*wav.InfoTag(), out);
        ReadLength(wav.audioProperties(), out);
        return;
    }
    if (const auto tagStart = WithoutExtendedHeader(start))
        file.ReplaceStart({tagStart->header.begin(), tagStart->header.end()},
                          tagStart->replacedBytes);
    TagLib::MPEG::File mpeg(&file, TagLib::ID3v2::FrameFactory::instance(), true,
                            TagLib::AudioProperties::Average);
    if (mpeg.hasID3v2Tag() && mpeg.ID3v2Tag() != nullptr) ReadId3v2(*mpeg.ID3v2Tag(), out);
    if (mpeg.hasAPETag() && mpeg.APETag() != nullptr) ReadApe(*mpeg.APETag(), out);
    if (mpeg.hasID3v1Tag() && mpeg.ID3v1Tag() != nullptr) ReadId3v1(*mpeg.ID3v1Tag(), out);
    ReadLength(mpeg.audioProperties(), out);
}

}  // namespace

SongTags ReadSongTags(const std::string& path) {
    SongTags tags;
    try {
        Read(path, tags);
    } catch (...) {
        // Out of memory, or anything else TagLib lets through: what was read is already clean,
        // and a field not reached stays empty.
    }
    return tags;
}

}  // namespace zirvak
