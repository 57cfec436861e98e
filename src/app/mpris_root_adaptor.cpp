#include "mpris_root_adaptor.h"

#include <QTimer>

#include "main_dialog.h"
#include "mpris_service.h"

namespace zirvak {

MprisRootAdaptor::MprisRootAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), service_(*service) {}

QString MprisRootAdaptor::identity() const {
    return QStringLiteral("Zirvak");
}

QString MprisRootAdaptor::desktopEntry() const {
    return QStringLiteral("zirvak");
}

QStringList MprisRootAdaptor::supportedUriSchemes() const {
    return {QStringLiteral("file")};
}

QStringList MprisRootAdaptor::supportedMimeTypes() const {
    return {QStringLiteral("audio/mpeg"),
            QStringLiteral("audio/x-mp3"),
            QStringLiteral("audio/mp2"),
            QStringLiteral("audio/x-mp2"),
            QStringLiteral("audio/x-wav"),
            QStringLiteral("audio/wav"),
            QStringLiteral("audio/vnd.wave"),
            QStringLiteral("audio/flac"),
            QStringLiteral("audio/x-flac"),
            QStringLiteral("audio/ogg"),
            QStringLiteral("audio/x-vorbis+ogg"),
            QStringLiteral("audio/vorbis"),
            QStringLiteral("audio/x-opus+ogg"),
            QStringLiteral("audio/opus"),
            QStringLiteral("audio/x-mpegurl"),
            QStringLiteral("audio/mpegurl"),
            QStringLiteral("application/vnd.apple.mpegurl"),
            QStringLiteral("audio/x-scpls")};
}

void MprisRootAdaptor::Raise() {
    service_.window().Raise();
}

// After the reply has gone out: the caller hears that the call was taken.
void MprisRootAdaptor::Quit() {
    QTimer::singleShot(0, &service_.window(), &QWidget::close);
}

}  // namespace zirvak
