// What a song's tags say about it: title, artist, album, year, genre, track and disc (each with
// the set's total), length and cover art, read with TagLib from MP3 (ID3v2, ID3v1, APE), WAV
// (RIFF INFO, ID3), FLAC (Vorbis comments, PICTURE blocks, ID3v2) and Ogg Vorbis and Opus
// (Vorbis comments, METADATA_BLOCK_PICTURE) files, each known by its content. Reading never fails:
// whatever is missing, unreadable or damaged is left empty, so a broken tag can never stop a song
// from playing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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
    ReplayGainValues replayGain;  // ID3v2 TXXX, APE, Vorbis comments, Opus R128 gains
};

// Never throws; a missing file, a file TagLib does not know or damaged tags give empty fields.
SongTags ReadSongTags(const std::string& path);

// The per-user folder covers are written to: $XDG_CACHE_HOME/zirvak/covers, or
// ~/.cache/zirvak/covers.
// $XDG_CACHE_HOME and $HOME count only when they hold an absolute path; "" when neither does.
std::string CoverCacheFolder();

// Writes `cover` into `folder` (created if needed, private to the user) under a name made from
// a hash of its bytes, so the same picture is written once; returns the file's path, or "" when
// there is no cover or it cannot be written.
// The name is the 64-bit FNV-1a hash of the bytes in 16 hex digits, then ".jpg", ".png" or
// ".img" by the MIME type. The file is written whole and renamed into place (whole_file.h), so
// no reader ever sees half a picture. A file of that name is kept only when it is a regular
// file holding these very bytes. A `folder` that is a symlink is replaced by a folder of our
// own; one that is not the user's own folder gets no covers.
std::string SaveCover(const CoverArt& cover, const std::string& folder);

}  // namespace zirvak
