#include "song_follower.h"

#include "messages.h"

namespace zirvak {

std::optional<SongInfo> SongFollower::Follow(const EngineNews& news, PlayQueue& queue) {
    std::optional<SongInfo> heard;
    if (news.joined && prepared_) {
        queue.MoveTo(prepared_->index);
        heard = std::move(prepared_->song);
        prepared_.reset();
        asked_ = false;  // the song after it is the one to look for now
    }
    if (news.nearingEnd && !asked_) Prepare(queue);
    return heard;
}

void SongFollower::Prepare(PlayQueue& queue) {
    asked_ = true;
    prepared_.reset();
    engine_.CancelNext();
    if (!engine_.gapless() || engine_.state() == NoFile) return;
    for (std::optional<size_t> next = queue.NextIndex(); next; next = queue.NextIndex()) {
        SongInfo song = ReadSongInfo(queue.files()[*next], coverFolder_);
        song.listedTitle = queue.ListedTitle(song.path);
        song.gain = SongGain(song.tags, gain_, queue.files(), *next);
        const int32_t result = engine_.PrepareNext(song.path, song.gain);
        if (result == kOpenStarted) {
            prepared_ = Prepared{*next, std::move(song)};
            return;
        }
        if (result != kOpenFileFailed && result != kOpenNoAudio) return;  // tried in its turn
        tell_(DescribeOpenFailure(engine_, song.path, result));
        queue.Remove(*next);
    }
}

void SongFollower::UseGain(const ReplayGainSettings& settings, const PlayQueue& queue) {
    gain_ = settings;
    if (!prepared_) return;
    const double gain = SongGain(prepared_->song.tags, settings, queue.files(), prepared_->index);
    // A song that has joined already keeps the gain its first samples went out with.
    if (engine_.SetNextGain(gain)) prepared_->song.gain = gain;
}

void SongFollower::Reconsider() {
    if (engine_.joinPending()) return;
    Forget();
}

void SongFollower::Forget() {
    prepared_.reset();
    asked_ = false;
    engine_.CancelNext();
}

std::optional<SongInfo> SongFollower::Take(size_t index) {
    if (!prepared_ || prepared_->index != index) return std::nullopt;
    std::optional<SongInfo> song = std::move(prepared_->song);
    prepared_.reset();
    return song;
}

std::optional<size_t> SongFollower::preparedIndex() const {
    if (!prepared_) return std::nullopt;
    return prepared_->index;
}

}  // namespace zirvak
