#include "heard_music.h"

#include <algorithm>
#include <cstring>

namespace zirvak::test {

namespace {

bool SameFrame(const Samples& heard, long h, const Samples& song, long f) {
    return heard[size_t(2 * h)] == song[size_t(2 * f)] &&
           heard[size_t(2 * h + 1)] == song[size_t(2 * f + 1)];
}

// Whether `heard` from frame `h` on is `song` from frame `f` on, for 10 ms or to either's end.
bool SameStretch(const Samples& heard, long h, const Samples& song, long f, long rate) {
    for (long n = 0; n < rate / 100 && h + n < Frames(heard) && f + n < Frames(song); ++n)
        if (!SameFrame(heard, h + n, song, f + n)) return false;
    return true;
}

}  // namespace

Samples AsStereo(const Bytes& bytes) {
    Samples s(bytes.size() / 4 * 2);
    std::memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
}

long FirstSound(const Samples& s, long from) {
    for (long i = from; i < Frames(s); ++i)
        if (!Silent(s, i)) return i;
    return Frames(s);
}

std::optional<Place> PlaceInSong(const Samples& heard, const Samples& song, long rate) {
    const long first = FirstSound(heard);
    const long length = rate / 5;
    for (long from = first + rate / 10; from + length <= Frames(heard);) {
        long silent = from + length - 1;
        while (silent >= from && !Silent(heard, silent)) --silent;
        if (silent >= from) {
            from = silent + 1;
            continue;
        }
        const auto probe = heard.begin() + 2 * from;
        const auto at = std::search(song.begin(), song.end(), probe, probe + 2 * length);
        if (at == song.end()) return std::nullopt;
        const long songFrame = long(at - song.begin()) / 2;
        return Place{songFrame - (from - first), from, songFrame};
    }
    return std::nullopt;
}

long SongFrameOf(const Samples& heard, long h, const Samples& song) {
    const long length = std::min(64L, Frames(heard) - h);
    if (length <= 0) return -1;
    const auto probe = heard.begin() + 2 * h;
    const auto at = std::search(song.begin(), song.end(), probe, probe + 2 * length);
    return at == song.end() ? -1 : long(at - song.begin()) / 2;
}

long SongFrameAfterLastSound(const Samples& heard, const Samples& song) {
    long last = Frames(heard) - 1;
    while (last >= 0 && Silent(heard, last)) --last;
    const long from = last + 1 - 64;
    if (from < 0) return -1;
    const long at = SongFrameOf(heard, from, song);
    return at < 0 ? -1 : at + 64;
}

Followed Follow(const Samples& heard, const Samples& song, const Place& place, long rate) {
    Followed followed;
    long f = place.songFrame, silentRun = 0;
    for (long h = place.heardFrame; h < Frames(heard) && f < Frames(song); ++h) {
        if (SameFrame(heard, h, song, f)) {
            ++f;
        } else if (!Silent(heard, h)) {
            long ahead = 0;
            while (ahead <= silentRun && !SameStretch(heard, h, song, f + ahead, rate)) ++ahead;
            if (ahead > silentRun) break;
            followed.gaps.push_back({f, silentRun, ahead});
            f += ahead + 1;
            silentRun = 0;
            continue;
        }
        silentRun = Silent(heard, h) ? silentRun + 1 : 0;
    }
    followed.to = f;
    return followed;
}

}  // namespace zirvak::test
