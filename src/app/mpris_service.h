// The player on the session bus: the media keys, the desktop's panels and lock screen and
// playerctl see and drive it through the MPRIS interfaces. What it shows is the commands'
// status snapshot, taken after every command and tick; the window passes each one on, and what
// changed is announced (PropertiesChanged, and Seeked for a jump), whoever made the change: the
// menu, a key, the end of a song, or the bus.
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QVariantMap>

#include "status_snapshot.h"

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
    explicit MprisService(MainDialog& window);

    // Puts the object on `bus` under `serviceName`; false, with the reason in `why`, when it
    // cannot (the name taken, the bus gone).
    bool Publish(const QDBusConnection& bus, const QString& serviceName, QString& why);

    MainDialog& window() { return window_; }
    TransportCommands& commands();
    const StatusSnapshot& status() const;
    QVariantMap Metadata(const StatusSnapshot& status) const;
    // The id the desktop names the current song by.
    static QString TrackId(const StatusSnapshot& status);
    // Compares what the controls show with the last announcement and announces the changes.
    void AnnounceChanges();

private:
    const TransportCommands& commandsConst() const;

    MainDialog& window_;
    MprisPlayerAdaptor* player_ = nullptr;
    QDBusConnection bus_;
    StatusSnapshot announced_;
    bool published_ = false;
};

}  // namespace zirvak
