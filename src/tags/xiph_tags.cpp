#include "xiph_tags.h"

#include <flacfile.h>
#include <flacpicture.h>
#include <id3v2header.h>
#include <id3v2tag.h>
#include <vorbisfile.h>
#include <xiphcomment.h>
// With its folder: the Opus decoder's own library has a header of the same name.
#include <taglib/opusfile.h>

#include "id3_tags.h"
#include "tag_fields.h"

// FLAC: the Vorbis comment and PICTURE blocks, then an ID3v2 tag before the stream. Ogg Vorbis:
// the comment packet, covers in METADATA_BLOCK_PICTURE. Ogg Opus: the same in OpusTags, and its
// R128 gains before any REPLAYGAIN_* comment.
namespace zirvak {

namespace {

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

// An ID3v2 tag that a tagger put before an Ogg stream (the player steps over it): what the
// comments leave empty.
void ReadLeadingId3v2(const ReadOnlyFile& bytes, TagLib::File& file, SongTags& out) {
    const TagLib::ByteVector identifier = TagLib::ID3v2::Header::fileIdentifier();
    const std::vector<uint8_t> start = bytes.ReadAt(0, identifier.size());
    if (TagLib::ByteVector(reinterpret_cast<const char*>(start.data()),
                           static_cast<unsigned int>(start.size())) != identifier)
        return;
    const TagLib::ID3v2::Tag tag(&file, 0);
    ReadId3v2(tag, out);
}

}  // namespace

void ReadXiphLayoutFile(ReadOnlyFile& file, TagLayout layout, SongTags& out) {
    if (layout == TagLayout::kFlacBlocks) {
        TagLib::FLAC::File flac(&file, TagLib::ID3v2::FrameFactory::instance(), true,
                                TagLib::AudioProperties::Average);
        if (flac.hasXiphComment() && flac.xiphComment() != nullptr)
            ReadXiph(*flac.xiphComment(), out);
        if (out.cover.empty()) out.cover = PictureCover(flac.pictureList());
        if (flac.hasID3v2Tag() && flac.ID3v2Tag() != nullptr) ReadId3v2(*flac.ID3v2Tag(), out);
        ReadLength(flac.audioProperties(), out);
    } else if (layout == TagLayout::kOggVorbis) {
        TagLib::Ogg::Vorbis::File vorbis(&file, true, TagLib::AudioProperties::Average);
        if (vorbis.tag() != nullptr) ReadXiph(*vorbis.tag(), out);
        ReadLeadingId3v2(file, vorbis, out);
        ReadLength(vorbis.audioProperties(), out);
    } else if (layout == TagLayout::kOggOpus) {
        TagLib::Ogg::Opus::File opus(&file, true, TagLib::AudioProperties::Average);
        if (opus.tag() != nullptr) {
            ReadOpusGains(*opus.tag(), out);
            ReadXiph(*opus.tag(), out);
        }
        ReadLeadingId3v2(file, opus, out);
        ReadLength(opus.audioProperties(), out);
    }
}

}  // namespace zirvak
