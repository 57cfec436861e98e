// What every tag reader does with the fields it finds: text made clean (tag_text.h), a field
// filled only while it is still empty (the first tag of a file that says something wins), a
// cover within its limit, the ReplayGain values, and the length TagLib gives.
#pragma once

#include <tbytevector.h>
#include <tstring.h>

#include <audioproperties.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "song_tags.h"
#include "tag_text.h"

namespace zirvak {

inline std::string Text(const TagLib::String& text) {
    return CleanTagText(text.to8Bit(true));
}

inline void Fill(std::string& field, const std::string& text) {
    if (field.empty()) field = text;
}
inline void Fill(int& number, int value) {
    if (number == 0) number = value;
}
// A track or a disc: its number and the set's total come from the same tag, or not at all.
inline void Fill(int& number, int& total, SetPosition position) {
    if (number != 0 || position.number == 0) return;
    number = position.number;
    total = position.total;
}

inline CoverArt MakeCover(const TagLib::ByteVector& data, std::string_view declaredType) {
    CoverArt cover;
    if (data.isEmpty() || data.size() > kMaxCoverBytes) return cover;
    cover.data.assign(data.begin(), data.end());
    cover.mimeType = CoverMimeType(cover.data, declaredType);
    return cover;
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

inline void ReadLength(const TagLib::AudioProperties* properties, SongTags& out) {
    if (properties != nullptr) out.lengthMs = std::max(0, properties->lengthInMilliseconds());
}

}  // namespace zirvak
