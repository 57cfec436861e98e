// The player on the session bus: the media keys, the desktop's panels and lock screen and
// playerctl see and drive it through the MPRIS interfaces. What it shows is read from the
// commands a few times a second and announced (PropertiesChanged) when it changes, whoever made
// the change: the menu, a key, or the bus.
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

#include "media_status.h"

namespace zirvak {

class MainDialog;
class MprisPlayerAdaptor;
class TransportCommands;

inline constexpr const char* kMprisObjectPath = "/org/mpris/MediaPlayer2";
inline constexpr const char* kMprisServiceName = "org.mpris.MediaPlayer2.zirvak";
inline constexpr const char* kHandOverInterface = "org.zirvak.Zirvak";

// The adaptors' calls arrive in this object's D-Bus context: errors are answered from here.
class MprisService : public QObject, public QDBusContext {
    Q_OBJECT
public:
    // How often the service looks for changes made elsewhere (the end of a song, a key).
    static constexpr int kPollMs = 200;

    explicit MprisService(MainDialog& window);

    // Puts the object on `bus` under `serviceName`; false, with the reason in `why`, when it
    // cannot (the name taken, the bus gone).
    bool Publish(const QDBusConnection& bus, const QString& serviceName, QString& why);

    MainDialog& window() { return window_; }
    TransportCommands& commands();
    MediaStatus status() const { return ReadMediaStatus(commandsConst()); }
    QVariantMap Metadata(const MediaStatus& status) const;
    // The id the desktop names the current song by.
    static QString TrackId(const MediaStatus& status);
    // Compares what the controls show with the last announcement and announces the changes.
    void AnnounceChanges();

private:
    const TransportCommands& commandsConst() const;
    void AnnounceSeek();

    MainDialog& window_;
    MprisPlayerAdaptor* player_ = nullptr;
    QDBusConnection bus_;
    MediaStatus announced_;
    QTimer poll_;
};

}  // namespace zirvak
