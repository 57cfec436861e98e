// What a recording of a sound server's sink holds of a song: where the song lies in it, and how far
// it follows the song frame by frame, with the silences a late player left in it.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "player_fixtures.h"

namespace zirvak::test {

using Samples = std::vector<int16_t>;  // interleaved stereo

Samples AsStereo(const Bytes& bytes);
inline long Frames(const Samples& s) {
    return long(s.size() / 2);
}
inline bool Silent(const Samples& s, long frame) {
    return s[size_t(2 * frame)] == 0 && s[size_t(2 * frame + 1)] == 0;
}
// The first frame from `from` on that is not silent; Frames(s) when there is none.
long FirstSound(const Samples& s, long from = 0);

// Where the music that `heard` holds lies in `song`.
struct Place {
    long start;       // the frame of `song` that `heard`'s first sound is
    long heardFrame;  // a frame of `heard` found in `song`...
    long songFrame;   // ...and where it lies there
};

// Found by a stretch of 0.2 s from 0.1 s after `heard`'s first sound, the first such stretch
// without a silent frame, which the machine could have slipped in; nothing when `heard` holds
// no such stretch, or the song does not.
std::optional<Place> PlaceInSong(const Samples& heard, const Samples& song, long rate);

// The frame of `song` that `heard`'s frames from `h` on are, found by the 1.5 ms from there (in
// music, no two such stretches are the same); -1 when they are not in `song`.
long SongFrameOf(const Samples& heard, long h, const Samples& song);

// The frame of `song` that would have followed `heard`'s last sound: where a recording cut off
// mid-song stopped, whatever the recorder lost before that; -1 when its end is not in `song`.
long SongFrameAfterLastSound(const Samples& heard, const Samples& song);

// A run of silence the server played inside the music, its client late.
struct Gap {
    long songFrame;  // where in the song it came
    long frames;     // how long it was
    long skipped;    // frames of the song not heard after it
};

struct Followed {
    long to = 0;  // the frame of the song the recording was followed to
    std::vector<Gap> gaps;
};

// Follows `heard` from `place` frame by frame in order, stopping at the first frame that is
// neither the next of the song nor silence. A server whose client was late (a busy machine)
// plays silence, then the music that came late, less what should have sounded meanwhile: after
// a run of silent frames the music may go on that many frames further on, never back.
Followed Follow(const Samples& heard, const Samples& song, const Place& place, long rate);
inline long FollowedTo(const Samples& heard, const Samples& song, const Place& place, long rate) {
    return Follow(heard, song, place, rate).to;
}

}  // namespace zirvak::test
