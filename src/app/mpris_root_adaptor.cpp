#include "mpris_root_adaptor.h"

#include <QTimer>

#include "main_dialog.h"
#include "mpris_service.h"
#include "supported_types.h"

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
    QStringList types;
    for (const std::string& type : SupportedMimeTypes()) types << QString::fromStdString(type);
    return types;
}

void MprisRootAdaptor::Raise() {
    service_.window().Raise();
}

// After the reply has gone out: the caller hears that the call was taken.
void MprisRootAdaptor::Quit() {
    QTimer::singleShot(0, &service_.window(), &QWidget::close);
}

}  // namespace zirvak
