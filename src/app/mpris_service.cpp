#include "mpris_service.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>

#include "desktop_bus.h"
#include "file_uri.h"
#include "hand_over_adaptor.h"
#include "main_dialog.h"
#include "mpris_player_adaptor.h"
#include "mpris_properties_adaptor.h"
#include "mpris_root_adaptor.h"

namespace zirvak {

namespace {

bool SameSong(const StatusSnapshot& a, const StatusSnapshot& b) {
    return a.hasSong == b.hasSong && a.songIndex == b.songIndex && a.path == b.path &&
           a.title == b.title && a.artist == b.artist && a.album == b.album &&
           a.trackNumber == b.trackNumber && a.lengthMs == b.lengthMs && a.coverPath == b.coverPath;
}

// The path's bytes percent-encoded, whatever their encoding: the URL takes the song back
// through OpenUri unchanged.
QString FileUrl(const std::string& path) {
    return QString::fromLatin1(FileUriFromPath(AbsolutePath(path)));
}

}  // namespace

MprisService::MprisService(MainDialog& window)
    : QObject(&window), window_(window), bus_(QStringLiteral("unused")) {
    RegisterBusTypes();
    new MprisRootAdaptor(this);
    player_ = new MprisPlayerAdaptor(this);
    new HandOverAdaptor(this);
    new MprisPropertiesAdaptor(this);
    announced_ = status();
    connect(&window_, &MainDialog::statusChanged, this, &MprisService::AnnounceChanges);
}

bool MprisService::Publish(const QDBusConnection& bus, const QString& serviceName, QString& why) {
    bus_ = bus;
    if (!bus_.registerObject(QString::fromLatin1(kMprisObjectPath), this,
                             QDBusConnection::ExportAdaptors)) {
        why = bus_.lastError().message();
        return false;
    }
    const auto reply =
        bus_.interface()->registerService(serviceName, QDBusConnectionInterface::DontQueueService,
                                          QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        why = reply.isValid() ? QStringLiteral("%1 is taken").arg(serviceName)
                              : reply.error().message();
        bus_.unregisterObject(QString::fromLatin1(kMprisObjectPath));
        return false;
    }
    announced_ = status();
    published_ = true;
    return true;
}

TransportCommands& MprisService::commands() {
    return window_.commands();
}

const TransportCommands& MprisService::commandsConst() const {
    return window_.commands();
}

const StatusSnapshot& MprisService::status() const {
    return commandsConst().status();
}

QString MprisService::TrackId(const StatusSnapshot& status) {
    if (!status.hasSong) return QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");
    return QStringLiteral("/org/zirvak/Zirvak/Track/%1").arg(status.songIndex);
}

QVariantMap MprisService::Metadata(const StatusSnapshot& status) const {
    QVariantMap map;
    map.insert(QStringLiteral("mpris:trackid"),
               QVariant::fromValue(QDBusObjectPath(TrackId(status))));
    if (!status.hasSong) return map;
    map.insert(QStringLiteral("mpris:length"), qlonglong(status.lengthMs) * 1000);
    map.insert(QStringLiteral("xesam:url"), FileUrl(status.path));
    map.insert(QStringLiteral("xesam:title"), QString::fromStdString(status.title));
    if (!status.artist.empty())
        map.insert(QStringLiteral("xesam:artist"),
                   QStringList{QString::fromStdString(status.artist)});
    if (!status.album.empty())
        map.insert(QStringLiteral("xesam:album"), QString::fromStdString(status.album));
    if (status.trackNumber > 0) map.insert(QStringLiteral("xesam:trackNumber"), status.trackNumber);
    if (!status.coverPath.empty())
        map.insert(QStringLiteral("mpris:artUrl"), FileUrl(status.coverPath));
    return map;
}

void MprisService::AnnounceChanges() {
    const StatusSnapshot now = status();
    const StatusSnapshot was = announced_;
    announced_ = now;
    if (!published_ || !bus_.isConnected()) return;
    QVariantMap changed;
    auto note = [&](const char* name, bool differs, const QVariant& value) {
        if (differs) changed.insert(QString::fromLatin1(name), value);
    };
    note("PlaybackStatus", now.playback != was.playback,
         QString::fromLatin1(PlaybackStatusName(now.playback)));
    note("Metadata", !SameSong(now, was), Metadata(now));
    note("Volume", now.volumePercent != was.volumePercent, now.volumePercent / 100.0);
    note("CanGoNext", now.canGoNext != was.canGoNext, now.canGoNext);
    note("CanGoPrevious", now.canGoPrevious != was.canGoPrevious, now.canGoPrevious);
    note("CanPlay", now.canPlay != was.canPlay, now.canPlay);
    note("CanPause", now.canPause != was.canPause, now.canPause);
    note("CanSeek", now.canSeek != was.canSeek, now.canSeek);
    if (!changed.isEmpty()) {
        QDBusMessage signal = QDBusMessage::createSignal(
            QString::fromLatin1(kMprisObjectPath),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
        signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList();
        bus_.send(signal);
    }
    // A jump within the song: the desktop hears where playback stands now.
    if (now.seeks != was.seeks) emit player_->Seeked(qlonglong(now.positionMs) * 1000);
}

}  // namespace zirvak
