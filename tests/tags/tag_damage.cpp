#include <algorithm>
#include <sstream>

#include "damaged_songs.h"

namespace zirvak::test {

namespace {

// Where the structures of a song lie.
struct FrameInTag {
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
std::vector<FrameInTag> Frames(const Bytes& file, size_t tag) {
    const bool v4 = file[tag + 3] == 4;
    const size_t end = tag + 10 + TagSize(file, tag);
    std::vector<FrameInTag> frames;
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
void RemoveFromFrame(Bytes& file, size_t tag, const FrameInTag& frame, size_t at, size_t count) {
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

}  // namespace

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
            const std::vector<FrameInTag> frames = Frames(f, tag);
            const size_t end = frames.back().at + 10 + frames.back().size;
            const size_t count = 1 + random() % (end - tag - 10);
            f.erase(f.begin() + ptrdiff_t(end - count), f.begin() + ptrdiff_t(end));
            what << count << " bytes cut from the tag's end";
            // The frame the cut falls in runs into the audio.
            for (const FrameInTag& frame : frames)
                if (frame.at + 10 + frame.size > end - count) d.mayChange |= FieldOf(frame.id);
            d.mayChange |= kLength;
            break;
        }
        case Kind::kFrameSize: {
            const size_t tag = FindTag(f);
            const FrameInTag frame = pick(Frames(f, tag));
            const uint32_t size = DamagedSize(random, uint32_t(frame.size), f.size(), 0x0FFFFFFF);
            PutBe32(f, frame.at + 4, size);
            what << frame.id << " size " << size;
            d.mayChange = FieldOf(frame.id);
            break;
        }
        case Kind::kFrameId: {
            const size_t tag = FindTag(f);
            const FrameInTag frame = pick(Frames(f, tag));
            for (size_t i = 0; i < 4; ++i) f[frame.at + i] = uint8_t(random());
            what << frame.id << " id " << std::hex << GetBe32(f, frame.at);
            break;
        }
        case Kind::kEncoding: {
            const size_t tag = FindTag(f);
            std::vector<FrameInTag> text;
            for (const FrameInTag& frame : Frames(f, tag))
                if (frame.id[0] == 'T') text.push_back(frame);
            const FrameInTag frame = pick(text);
            f[frame.at + 10] = uint8_t(4 + random() % 252);
            what << frame.id << " encoding " << int(f[frame.at + 10]);
            break;
        }
        case Kind::kOddUtf16:
        case Kind::kNoBom: {
            const size_t tag = FindTag(f);
            std::vector<FrameInTag> utf16;
            for (const FrameInTag& frame : Frames(f, tag))
                if (frame.id[0] == 'T' &&
                    (f[frame.at + 10] == 1 || (kind == Kind::kOddUtf16 && f[frame.at + 10] == 2)))
                    utf16.push_back(frame);
            const FrameInTag frame = pick(utf16);
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
                const FrameInTag frame = pick(Frames(f, tag));
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

}  // namespace zirvak::test
