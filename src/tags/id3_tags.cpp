#include "id3_tags.h"

#include <attachedpictureframe.h>
#include <id3v1genres.h>
#include <mpegfile.h>
#include <textidentificationframe.h>

#include <algorithm>

#include "extended_header.h"
#include "tag_fields.h"

namespace zirvak {

namespace {

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

}  // namespace

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

void ReadId3AndApeFile(ReadOnlyFile& file, SongTags& out) {
    const std::vector<uint8_t> start = file.ReadAt(0, kExtendedHeaderLookahead);
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

}  // namespace zirvak
