// What a song's tags say about it: title, artist, album, year, genre, track and disc (each with
// the set's total), length, cover art and ReplayGain values, read with TagLib in the layout of
// the file's format (TagLayout, from the table of formats: ID3 and APE tags in id3_tags, RIFF
// INFO in song_tags.cpp, comments of Xiph.Org's kind in xiph_tags). Reading never fails: whatever
// is missing, unreadable or damaged is left empty, so a broken tag can never stop a song from
// playing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "format_table.h"

namespace zirvak {

// Limits on what a tag may hand the player. A bigger cover is left out (the song still reads);
// a longer text field is cut at a character boundary.
inline constexpr size_t kMaxCoverBytes = 16 * 1024 * 1024;
inline constexpr size_t kMaxTagTextBytes = 1024;

struct CoverArt {
    std::string mimeType;       // "image/jpeg", "image/png"...; empty when there is no cover
    std::vector<uint8_t> data;  // the picture's bytes as stored in the tag
    bool empty() const { return data.empty(); }
};

// The ReplayGain values of a song's tags: the gains in dB that bring the track, and the album
// it belongs to, to the reference loudness (-18 LUFS), and their peaks (1 at full scale). A value
// missing, unreadable or out of range is left out.
struct ReplayGainValues {
    std::optional<double> trackGainDb;
    std::optional<double> trackPeak;
    std::optional<double> albumGainDb;
    std::optional<double> albumPeak;
    bool empty() const { return !trackGainDb && !trackPeak && !albumGainDb && !albumPeak; }
};

struct SongTags {
    std::string title;     // UTF-8; empty when the tags do not say
    std::string artist;    // UTF-8
    std::string album;     // UTF-8
    int year = 0;          // 0 when unknown
    std::string genre;     // UTF-8; a genre a tag gives by number is named
    int trackNumber = 0;   // 0 when unknown
    int trackTotal = 0;    // the tracks of the set (12 of "3/12"); 0 when unknown
    int discNumber = 0;    // 0 when unknown
    int discTotal = 0;     // 0 when unknown
    int64_t lengthMs = 0;  // from the file's audio properties; 0 when unknown
    CoverArt cover;
    ReplayGainValues replayGain;  // ID3v2 TXXX, APE, comments, R128 gains
};

// The tags of the file at `path`, looked for as `layout` says (the table's word for the file's
// format: FormatOf). Never throws; a missing file, tags not where the layout has them or
// damaged tags give empty fields.
SongTags ReadSongTags(const std::string& path, TagLayout layout);

}  // namespace zirvak
