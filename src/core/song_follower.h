// The song that follows the one heard, gapless: looked for in the queue once the engine says the
// run nears its end, read once (its tags, its cover, its gain) and prepared in the engine, which
// joins it to the song before in the same device stream. Once the engine tells that the join has
// been heard, the follower hands it over as the song heard and the queue moves on to it. A next
// song that cannot play is named and leaves the queue, and the one after it is prepared instead,
// so nothing stops. The window's session and the terminal's render both follow their queues with
// one; nothing else keeps what it holds.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "play_queue.h"
#include "player_engine.h"
#include "replay_gain.h"
#include "song_info.h"

namespace zirvak {

class SongFollower {
public:
    // Told of each next song that cannot play, in a sentence (messages.h).
    using Tell = std::function<void(const std::string& message)>;

    SongFollower(PlayerEngine& engine, Tell tell) : engine_(engine), tell_(std::move(tell)) {}

    // Acts on what the engine told (`news`), for `queue`, whose current song is the one heard:
    // the song prepared, once its join is heard, is returned as the song heard now (the queue
    // moved on to it); near the end of the song heard, the song after it is prepared.
    std::optional<SongInfo> Follow(const EngineNews& news, PlayQueue& queue);

    // How songs are prepared: where their covers are written ("": not written), and their gain.
    // A change of gain sets the prepared song's, without opening it again.
    void UseCoverFolder(std::string folder) { coverFolder_ = std::move(folder); }
    void UseGain(const ReplayGainSettings& settings, const PlayQueue& queue);
    // Gapless playback was switched: what is prepared goes, and the next song is looked for
    // again (a song joined and not yet heard stays, for its join to be followed).
    void Reconsider();
    // A song is opened afresh, or the queue is new: nothing is prepared any more.
    void Forget();
    // The song prepared for `index` of the queue, for it to be opened afresh (a song of another
    // format plays after the output is opened again): read already, not read again.
    std::optional<SongInfo> Take(size_t index);

    // The index in the queue of the song prepared, if any.
    std::optional<size_t> preparedIndex() const;

private:
    void Prepare(PlayQueue& queue);

    PlayerEngine& engine_;
    Tell tell_;
    std::string coverFolder_;
    ReplayGainSettings gain_;
    struct Prepared {
        size_t index;
        SongInfo song;
    };
    std::optional<Prepared> prepared_;
    bool asked_ = false;  // the song to follow the one heard was looked for
};

}  // namespace zirvak
