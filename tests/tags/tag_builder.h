// Tags built byte by byte as the ID3v2.3/2.4, ID3v1, APEv2 and RIFF INFO formats lay them out
// (never by TagLib's own writer, so a misreading of TagLib's shows), and the songs they go
// around: real MPEG audio from the demo song, and a WAV file made here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "player_fixtures.h"
#include "support/fixtures.h"

namespace zirvak::test {

// --- ID3v2 ----------------------------------------------------------------------------------

// A text frame's body: the encoding byte, then the text. UTF-16 starts with a byte-order mark
// (little-endian unless `bigEndian`); UTF-16BE (2.4 only) has none.
Bytes Latin1Text(std::string_view latin1);
Bytes Utf16Text(std::u16string_view text, bool bigEndian = false);
Bytes Utf16BeText(std::u16string_view text);
Bytes Utf8Text(std::string_view utf8);

// An attached picture's body: Latin-1 MIME type, picture type (3: front cover), an empty
// description, the picture.
Bytes ApicBody(std::string_view mimeType, uint8_t pictureType, const Bytes& picture);

// 28 bits in four bytes of seven.
Bytes Syncsafe(uint32_t value);

// A frame: its id, its size (a plain 32-bit number in 2.3, syncsafe in 2.4), two flag bytes.
Bytes Id3v2Frame(int version, std::string_view id, const Bytes& body, uint16_t flags = 0);

// 0xFF followed by 0x00 or by a byte of 0xE0 or more gets a 0x00 between, as does a last 0xFF.
Bytes Unsynchronise(const Bytes& bytes);

struct Id3v2Options {
    int version = 4;              // 3 or 4
    bool extendedHeader = false;  // 2.3: with a CRC-32 of the frames; 2.4: the "update" flag
    // 2.3: the whole tag after its header; 2.4: each frame, its flag set as well.
    bool unsynchronise = false;
    size_t padding = 0;
};
struct Id3v2FrameData {
    std::string id;
    Bytes body;
    uint16_t flags = 0;
};
Bytes Id3v2Tag(const Id3v2Options& options, const std::vector<Id3v2FrameData>& frames);

// --- ID3v1, APEv2 -----------------------------------------------------------------------------

// The 128-byte block; ID3v1.1 (the track in the comment's last byte) when `track` is not 0.
// The genre is a number of ID3v1's list, 255 for none.
Bytes Id3v1Tag(std::string_view title, std::string_view artist, std::string_view album,
               uint8_t track = 0, std::string_view year = "2026", uint8_t genre = 0xFF);

struct ApeItem {
    std::string key;
    Bytes value;
    bool binary = false;
};
Bytes ApeValue(std::string_view text);
// An APEv2 tag: header (unless left out), the items, the footer.
Bytes ApeTag(const std::vector<ApeItem>& items, bool withHeader = true);

// RIFF chunks, INFO lists and WAV files come from the player's fixtures.

// --- Audio and pictures ---------------------------------------------------------------------

// The first `frames` frames of res/demo.mp3, without its tag: 128 kbit/s CBR, 44100 Hz stereo.
Bytes DemoAudio(size_t frames);
// The duration of a file's audio as the player's own frame walk counts it.
int64_t MpegDurationMs(const Bytes& file);

// Pictures of `size` bytes, seeded: a JPEG start (FF D8 FF E0) or a PNG signature, then bytes
// holding many 0xFF followed by 0x00 and by 0xE0 or more, the sequences unsynchronisation
// changes.
Bytes FakeJpeg(size_t size, uint32_t seed);
Bytes FakePng(size_t size, uint32_t seed);

// Little-endian and big-endian numbers, as the formats store them.
void PutLe32(Bytes& bytes, size_t at, uint32_t value);
void PutBe32(Bytes& bytes, size_t at, uint32_t value);
uint32_t GetLe32(const Bytes& bytes, size_t at);
uint32_t GetBe32(const Bytes& bytes, size_t at);

}  // namespace zirvak::test
