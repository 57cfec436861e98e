#include "mpris_player_adaptor.h"

#include <algorithm>
#include <cmath>

#include "file_uri.h"
#include "mpris_service.h"
#include "transport_commands.h"

namespace zirvak {

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), service_(*service) {}

QString MprisPlayerAdaptor::playbackStatus() const {
    return QString::fromLatin1(PlaybackStatusName(service_.status().playback));
}

QVariantMap MprisPlayerAdaptor::metadata() const {
    return service_.Metadata(service_.status());
}

double MprisPlayerAdaptor::volume() const {
    return service_.status().volumePercent / 100.0;
}

void MprisPlayerAdaptor::setVolume(double volume) {
    if (std::isnan(volume)) return;
    service_.commands().SetVolume(int32_t(std::lround(std::clamp(volume, 0.0, 1.0) * 100)));
}

void MprisPlayerAdaptor::setRate(double rate) {
    if (rate == 0) service_.commands().PauseIfPlaying();
}

qlonglong MprisPlayerAdaptor::position() const {
    return qlonglong(service_.commands().session().PositionMs()) * 1000;
}

bool MprisPlayerAdaptor::canGoNext() const {
    return service_.status().canGoNext;
}
bool MprisPlayerAdaptor::canGoPrevious() const {
    return service_.status().canGoPrevious;
}
bool MprisPlayerAdaptor::canPlay() const {
    return service_.status().canPlay;
}
bool MprisPlayerAdaptor::canPause() const {
    return service_.status().canPause;
}
bool MprisPlayerAdaptor::canSeek() const {
    return service_.status().canSeek;
}

void MprisPlayerAdaptor::Next() {
    service_.commands().Next();
}

void MprisPlayerAdaptor::Previous() {
    service_.commands().Previous();
}

void MprisPlayerAdaptor::Pause() {
    service_.commands().PauseIfPlaying();
}

void MprisPlayerAdaptor::PlayPause() {
    service_.commands().PlayOrPause();
}

void MprisPlayerAdaptor::Stop() {
    service_.commands().Stop();
}

void MprisPlayerAdaptor::Play() {
    service_.commands().PlayUnlessNoSong();
}

void MprisPlayerAdaptor::Seek(qlonglong offsetUs) {
    const int64_t deltaMs = std::clamp<qlonglong>(offsetUs / 1000, INT32_MIN, INT32_MAX);
    service_.commands().SeekBy(int32_t(deltaMs));
}

// Ignored when the song has changed since the caller looked, or the place is not in it.
void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& trackId, qlonglong positionUs) {
    const StatusSnapshot& status = service_.status();
    if (trackId.path() != MprisService::TrackId(status) || !status.hasSong) return;
    if (positionUs < 0 || positionUs > qlonglong(status.lengthMs) * 1000) return;
    service_.commands().SeekTo(uint32_t(positionUs / 1000));
}

// A file that cannot play leaves the song that plays playing. A file: URI that names no one
// path (another host, an escaped NUL or slash in a name) is a wrong argument.
void MprisPlayerAdaptor::OpenUri(const QString& uri) {
    const std::optional<std::string> path = PathFromFileUri(uri.toStdString());
    if (!path) {
        if (!service_.calledFromDBus()) return;
        if (uri.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive))
            service_.sendErrorReply(QDBusError::InvalidArgs,
                                    QStringLiteral("%1 names no local file").arg(uri));
        else
            service_.sendErrorReply(
                QDBusError::NotSupported,
                QStringLiteral("Zirvak opens file: URIs only, not %1").arg(uri));
        return;
    }
    service_.commands().OpenFiles({*path}, WhenNonePlays::kKeepPlaying);
}

}  // namespace zirvak
