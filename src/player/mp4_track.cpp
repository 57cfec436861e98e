#include "mp4_track.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace zirvak {

namespace {

// The first `N` bytes of a box's contents, zeros past its end; with how many were there.
template <size_t N>
struct BoxHead {
    std::array<uint8_t, N> bytes{};
    size_t length = 0;
};

template <size_t N>
BoxHead<N> ReadHead(ByteSource& source, const Mp4Box& box, uint64_t skip = 0) {
    BoxHead<N> head;
    if (box.body + skip >= box.end) return head;
    const uint64_t room = box.end - box.body - skip;
    head.length =
        source.ReadAt(box.body + skip, head.bytes.data(), size_t(std::min<uint64_t>(room, N)));
    return head;
}

// A full box's table: a version and flags, `extra` bytes, a 32-bit count, then entries of
// `entryBits` each. Nothing when the count promises more entries than the box holds.
std::optional<Mp4Table> TableOf(ByteSource& source, const Mp4Box& box, uint32_t extra,
                                uint32_t entryBits) {
    const uint64_t headBytes = 4 + uint64_t(extra) + 4;
    if (box.bodySize() < headBytes) return std::nullopt;
    uint8_t count[4];
    if (source.ReadAt(box.body + headBytes - 4, count, 4) != 4) return std::nullopt;
    Mp4Table table{box.body + headBytes, uint32_t(BigEndian(count, 4)), entryBits};
    if ((uint64_t(table.count) * entryBits + 7) / 8 > box.bodySize() - headBytes)
        return std::nullopt;
    return table;
}

// The length of an MPEG-4 descriptor: up to four bytes of seven bits each.
std::optional<uint32_t> DescriptorLength(const uint8_t* bytes, size_t length, size_t* at) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        if (*at >= length) return std::nullopt;
        const uint8_t byte = bytes[(*at)++];
        value = value << 7 | (byte & 0x7F);
        if (!(byte & 0x80)) return value;
    }
    return value;
}

// The elementary stream descriptor of an "esds" box: the object type, and where the decoder's
// specific configuration lies in the file.
bool ReadEsds(ByteSource& source, const Mp4Box& esds, Mp4AudioTrack* track) {
    const BoxHead<256> head = ReadHead<256>(source, esds, 4);
    const uint8_t* bytes = head.bytes.data();
    size_t at = 0;
    // ES_Descriptor: its id, flags, and what the flags say follows.
    if (at >= head.length || bytes[at++] != 0x03 || !DescriptorLength(bytes, head.length, &at))
        return false;
    if (at + 3 > head.length) return false;
    const uint8_t flags = bytes[at + 2];
    at += 3;
    if (flags & 0x80) at += 2;                                    // depends on another stream
    if ((flags & 0x40) && at < head.length) at += 1 + bytes[at];  // a URL
    if (flags & 0x20) at += 2;                                    // OCR stream
    // DecoderConfigDescriptor: the object type, then 12 bytes of rates and buffer sizes.
    if (at >= head.length || bytes[at++] != 0x04 || !DescriptorLength(bytes, head.length, &at))
        return false;
    if (at + 13 > head.length) return false;
    track->objectType = bytes[at];
    at += 13;
    // DecoderSpecificInfo: the AudioSpecificConfig.
    if (at >= head.length || bytes[at++] != 0x05) return true;
    const std::optional<uint32_t> size = DescriptorLength(bytes, head.length, &at);
    if (!size || at + *size > head.length) return false;
    track->configAt = esds.body + 4 + at;
    track->configSize = *size;
    return true;
}

// An audio sample entry ("mp4a", "alac"): channels, sample size and rate, then its boxes.
bool ReadSampleEntry(ByteSource& source, const Mp4Box& entry, Mp4AudioTrack* track) {
    // Six reserved bytes and the data reference, then version, revision and vendor.
    const BoxHead<28> head = ReadHead<28>(source, entry);
    if (head.length < 28) return false;
    const uint8_t* bytes = head.bytes.data();
    const auto version = uint32_t(BigEndian(bytes + 8, 2));
    track->codec = entry.type;
    track->channels = uint32_t(BigEndian(bytes + 16, 2));
    track->sampleBits = uint32_t(BigEndian(bytes + 18, 2));
    track->sampleRateHz = uint32_t(BigEndian(bytes + 24, 4) >> 16);
    // QuickTime's later versions put more fields before the boxes.
    const uint64_t boxesAt = 28 + (version == 1 ? 16 : version == 2 ? 36 : 0);
    if (entry.type == BoxType("mp4a")) {
        const std::optional<Mp4Box> esds = FindChild(source, entry, BoxType("esds"), boxesAt);
        return esds && ReadEsds(source, *esds, track);
    }
    if (entry.type == BoxType("alac")) {
        // The cookie: a version and flags, then the decoder's 24 bytes (and perhaps more).
        const std::optional<Mp4Box> cookie = FindChild(source, entry, BoxType("alac"), boxesAt);
        if (!cookie || cookie->bodySize() < 4 + 24) return false;
        track->configAt = cookie->body + 4;
        track->configSize = uint32_t(std::min<uint64_t>(cookie->bodySize() - 4, 1024));
        return true;
    }
    return false;
}

// The first entry of an edit list that plays media (an empty edit, -1, delays the track and
// is passed over).
std::optional<Mp4Edit> ReadEdit(ByteSource& source, const Mp4Box& elst) {
    const BoxHead<4 + 4 + 2 * 20> head = ReadHead<4 + 4 + 2 * 20>(source, elst);
    if (head.length < 8) return std::nullopt;
    const uint8_t* bytes = head.bytes.data();
    const int wide = bytes[0] == 1 ? 8 : 4;
    const auto count = uint32_t(BigEndian(bytes + 4, 4));
    size_t at = 8;
    for (uint32_t i = 0; i < std::min<uint32_t>(count, 2); ++i) {
        if (at + size_t(2 * wide) > head.length) return std::nullopt;
        const uint64_t duration = BigEndian(bytes + at, wide);
        const uint64_t mediaTime = BigEndian(bytes + at + wide, wide);
        at += size_t(2 * wide) + 4;  // and the rate
        const uint64_t empty = wide == 8 ? ~uint64_t(0) : 0xFFFFFFFF;
        if (mediaTime != empty) return Mp4Edit{mediaTime, duration};
    }
    return std::nullopt;
}

// The distance of a "roll" sample group's first description: how many samples before a
// sample must be decoded for it to come out right.
uint32_t ReadPreRoll(ByteSource& source, const Mp4Box& sgpd) {
    const BoxHead<24> head = ReadHead<24>(source, sgpd);
    const uint8_t* bytes = head.bytes.data();
    if (head.length < 16 || BigEndian(bytes + 4, 4) != BoxType("roll")) return 0;
    // Version 1 gives each description's length before it.
    const size_t at = bytes[0] == 1 ? 16 : 12;
    if (BigEndian(bytes + (bytes[0] == 1 ? 12 : 8), 4) == 0 || at + 2 > head.length) return 0;
    const auto distance = int16_t(BigEndian(bytes + at, 2));
    return distance < 0 ? uint32_t(-distance) : 0;
}

// The sample tables of a track's "stbl".
bool ReadTables(ByteSource& source, const Mp4Box& stbl, Mp4AudioTrack* track) {
    std::optional<Mp4Table> stts, stsc, offsets;
    bool sizes = false;
    Mp4BoxWalk walk(source, stbl);
    while (const std::optional<Mp4Box> box = walk.Next()) {
        if (box->type == BoxType("stts")) {
            stts = TableOf(source, *box, 0, 64);
        } else if (box->type == BoxType("stsc")) {
            stsc = TableOf(source, *box, 0, 96);
        } else if (box->type == BoxType("stco")) {
            offsets = TableOf(source, *box, 0, 32);
        } else if (box->type == BoxType("co64")) {
            offsets = TableOf(source, *box, 0, 64);
        } else if (box->type == BoxType("stsz")) {
            const BoxHead<12> head = ReadHead<12>(source, *box);
            if (head.length < 12) return false;
            track->fixedSampleSize = uint32_t(BigEndian(head.bytes.data() + 4, 4));
            track->sampleCount = uint32_t(BigEndian(head.bytes.data() + 8, 4));
            if (track->fixedSampleSize == 0) {
                const std::optional<Mp4Table> table = TableOf(source, *box, 4, 32);
                if (!table) return false;
                track->sampleSizes = *table;
            }
            sizes = true;
        } else if (box->type == BoxType("stz2")) {
            const BoxHead<12> head = ReadHead<12>(source, *box);
            const uint8_t bits = head.bytes[7];
            if (head.length < 12 || (bits != 4 && bits != 8 && bits != 16)) return false;
            const std::optional<Mp4Table> table = TableOf(source, *box, 4, bits);
            if (!table) return false;
            track->sampleSizes = *table;
            track->sampleCount = table->count;
            sizes = true;
        } else if (box->type == BoxType("sgpd")) {
            track->preRoll = std::max(track->preRoll, ReadPreRoll(source, *box));
        }
    }
    if (!stts || !stsc || !offsets || !sizes) return false;
    track->timeToSample = *stts;
    track->sampleToChunk = *stsc;
    track->chunkOffsets = *offsets;
    return true;
}

// A track's audio: the media's timescale and length, its sample entry and tables. False when
// it is no audio track or of none of `codecs`; `*broken` when it is audio of one of them that
// cannot be read.
bool ReadTrack(ByteSource& source, const Mp4Box& trak, std::initializer_list<uint32_t> codecs,
               Mp4AudioTrack* track, bool* broken) {
    const std::optional<Mp4Box> mdia = FindChild(source, trak, BoxType("mdia"));
    if (!mdia) return false;
    const std::optional<Mp4Box> hdlr = FindChild(source, *mdia, BoxType("hdlr"));
    if (!hdlr || BigEndian(ReadHead<12>(source, *hdlr).bytes.data() + 8, 4) != BoxType("soun"))
        return false;
    std::optional<Mp4Box> stbl;
    if (const std::optional<Mp4Box> minf = FindChild(source, *mdia, BoxType("minf")))
        stbl = FindChild(source, *minf, BoxType("stbl"));
    const std::optional<Mp4Box> stsd = stbl ? FindChild(source, *stbl, BoxType("stsd")) : stbl;
    // The first sample description: a version and flags, a count, then the entries.
    const std::optional<Mp4Box> entry = stsd ? ReadBox(source, stsd->body + 8, stsd->end) : stsd;
    if (!entry || std::find(codecs.begin(), codecs.end(), entry->type) == codecs.end())
        return false;
    *broken = true;
    const std::optional<Mp4Box> mdhd = FindChild(source, *mdia, BoxType("mdhd"));
    if (!mdhd) return false;
    const BoxHead<32> head = ReadHead<32>(source, *mdhd);
    const bool wide = head.bytes[0] == 1;
    if (head.length < (wide ? 32u : 20u)) return false;
    track->mediaTimescale = uint32_t(BigEndian(head.bytes.data() + (wide ? 20 : 12), 4));
    track->mediaDuration = BigEndian(head.bytes.data() + (wide ? 24 : 16), wide ? 8 : 4);
    if (track->mediaTimescale == 0 || !ReadSampleEntry(source, *entry, track) ||
        !ReadTables(source, *stbl, track))
        return false;
    if (const std::optional<Mp4Box> edts = FindChild(source, trak, BoxType("edts")))
        if (const std::optional<Mp4Box> elst = FindChild(source, *edts, BoxType("elst")))
            track->edit = ReadEdit(source, *elst);
    *broken = false;
    return true;
}

// The "iTunSMPB" freeform item of the movie's tags ("----" with its "mean", "name" and "data").
std::optional<ITunesGap> ReadMovieITunesGap(ByteSource& source, const Mp4Box& moov) {
    std::optional<Mp4Box> ilst;
    if (const std::optional<Mp4Box> udta = FindChild(source, moov, BoxType("udta")))
        if (const std::optional<Mp4Box> meta = FindChild(source, *udta, BoxType("meta")))
            ilst = FindChild(source, *meta, BoxType("ilst"), 4);  // after its version and flags
    if (!ilst) return std::nullopt;
    Mp4BoxWalk items(source, *ilst);
    while (const std::optional<Mp4Box> item = items.Next()) {
        if (item->type != BoxType("----")) continue;
        const std::optional<Mp4Box> name = FindChild(source, *item, BoxType("name"));
        const std::optional<Mp4Box> data = FindChild(source, *item, BoxType("data"));
        if (!name || !data) continue;
        const BoxHead<12> named = ReadHead<12>(source, *name, 4);
        if (named.length != 8 || std::memcmp(named.bytes.data(), "iTunSMPB", 8) != 0) continue;
        // The value's type and locale, then its text.
        const BoxHead<128> text = ReadHead<128>(source, *data, 8);
        return ParseITunesGap(
            std::string(reinterpret_cast<const char*>(text.bytes.data()), text.length));
    }
    return std::nullopt;
}

uint32_t MovieTimescale(ByteSource& source, const Mp4Box& moov) {
    const std::optional<Mp4Box> mvhd = FindChild(source, moov, BoxType("mvhd"));
    if (!mvhd) return 0;
    const BoxHead<24> head = ReadHead<24>(source, *mvhd);
    const size_t at = head.bytes[0] == 1 ? 20 : 12;
    return head.length >= at + 4 ? uint32_t(BigEndian(head.bytes.data() + at, 4)) : 0;
}

}  // namespace

bool LooksLikeMp4(ByteSource& source) {
    const std::optional<Mp4Box> first = ReadBox(source, 0, source.size());
    if (!first) return false;
    for (const char* type : {"ftyp", "moov", "mdat", "free", "skip", "wide"})
        if (first->type == BoxType(type)) return first->type == BoxType("ftyp") || first->end > 8;
    return false;
}

FileProblem ReadMp4AudioTrack(ByteSource& source, std::initializer_list<uint32_t> codecs,
                              Mp4AudioTrack* track, std::string* detail) {
    const std::optional<Mp4Box> moov = FindBox(source, 0, source.size(), BoxType("moov"));
    if (!moov) {
        *detail = "the MP4 file has no index of its samples (it was cut short while written)";
        return FileProblem::kDamaged;
    }
    bool anyTrack = false;  // of any kind, with its media
    Mp4BoxWalk tracks(source, *moov);
    while (const std::optional<Mp4Box> trak = tracks.Next()) {
        if (trak->type != BoxType("trak")) continue;
        Mp4AudioTrack candidate;
        bool broken = false;
        if (ReadTrack(source, *trak, codecs, &candidate, &broken)) {
            candidate.movieTimescale = MovieTimescale(source, *moov);
            candidate.iTunesGap = ReadMovieITunesGap(source, *moov);
            *track = candidate;
            return FileProblem::kNone;
        }
        if (broken) {
            *detail = "the MP4 file's sample tables are damaged";
            return FileProblem::kDamaged;
        }
        anyTrack = anyTrack || FindChild(source, *trak, BoxType("mdia")).has_value();
    }
    *detail = "an MP4 file without audio Zirvak can decode";
    return anyTrack ? FileProblem::kUnsupported : FileProblem::kNoAudio;
}

}  // namespace zirvak
