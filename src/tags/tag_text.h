// How what a tag stores becomes what the player shows: text fields made safe to display, track
// numbers, and the kind of picture a cover holds. Standard library only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zirvak {

// The well-formed UTF-8 character at the start of `text`, which is not empty (no overlong forms,
// no surrogates, nothing above U+10FFFF), or nothing.
struct CodePoint {
    char32_t value;
    size_t length;  // bytes of its UTF-8 form
};
std::optional<CodePoint> DecodeUtf8(std::string_view text);

// A field's text: `utf8` trimmed of surrounding whitespace and NULs, then cut to at most
// kMaxTagTextBytes at a character boundary. Empty when it is not well-formed UTF-8 or holds a
// control character (C0, DEL, C1) or a noncharacter (U+FFFE, U+FFFF): a damaged or misread tag
// shows nothing rather than garbage.
std::string CleanTagText(std::string_view utf8);

// The track number a tag's text gives: the whole number before a '/' ("3/12" → 3, "07" → 7).
// 0 when there is none, it is not positive, or it does not fit an int.
int ParseTrackNumber(std::string_view text);

// A track's or a disc's place in a set, as "3/12" or "3" gives it. The number as
// ParseTrackNumber reads it; the total the whole number after the '/', 0 when there is none, it
// is not a positive number, or it is smaller than the number (one of the two is damaged, and
// only the number is believed).
struct SetPosition {
    int number = 0;
    int total = 0;
};
SetPosition ParseSetPosition(std::string_view text);

// The year a date field starts with: four digits ("1999", "2004-05-06", "2004-05-06T12:00"),
// then nothing or something other than a digit. 0 otherwise, and for year 0.
int ParseYear(std::string_view text);

// One field of an ID3 genre: text ("Rock"), the number of a genre in ID3v1's list ("17",
// "(17)"), or both ("(4)Eurodisco": the text refines the number). "RX" and "CR", bare or in
// parentheses, are the text "Remix" and "Cover"; "((" starts text with a parenthesis.
struct GenreField {
    int number = -1;   // -1 without one
    std::string text;  // empty without any
};
GenreField ParseGenreField(std::string_view field);

// A ReplayGain gain in dB as a tag writes it ("-6.54 dB", "+2.1 dB", "3.5", the unit in any
// letter case). Nothing for text that is not such a number, or a gain outside +-24 dB (no song
// needs one; it is damage or a joke).
std::optional<double> ParseReplayGainDb(std::string_view text);
// A ReplayGain peak: the largest sample as a fraction of full scale ("0.988547"). Nothing for
// text that is not such a number, or a peak that is not above 0 or is above 100.
std::optional<double> ParseReplayGainPeak(std::string_view text);
// An R128 gain comment: a whole number of 1/256 dB relative to -23 LUFS ("-512"), as the gain in
// dB that brings the song to ReplayGain's reference of -18 LUFS, 5 dB louder. Nothing for text
// that is not such a number, or a gain outside +-24 dB.
std::optional<double> ParseR128GainDb(std::string_view text);

// The cover's MIME type: "image/jpeg" or "image/png" when the bytes say so (the bytes are what
// will be shown, whatever the tag claims), else the tag's own type when it is a plausible one
// ("image/jpg" read as "image/jpeg"), else "application/octet-stream".
std::string CoverMimeType(std::span<const uint8_t> data, std::string_view declared);

}  // namespace zirvak
