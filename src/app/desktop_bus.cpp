#include "desktop_bus.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>

#include "file_uri.h"
#include "mpris_service.h"

namespace zirvak {

namespace {

QDBusMessage Call(const char* interface, const char* method) {
    return QDBusMessage::createMethodCall(
        QString::fromLatin1(kMprisServiceName), QString::fromLatin1(kMprisObjectPath),
        QString::fromLatin1(interface), QString::fromLatin1(method));
}

}  // namespace

void RegisterBusTypes() {
    qDBusRegisterMetaType<QByteArrayList>();
}

bool HandOverToRunningWindow(const QDBusConnection& bus, const std::vector<std::string>& files) {
    if (!bus.isConnected()) return false;
    RegisterBusTypes();
    const auto owned = bus.interface()->isServiceRegistered(QString::fromLatin1(kMprisServiceName));
    if (!owned.isValid() || !owned.value()) return false;
    // As bytes: the running window plays exactly the files named here, whatever their names'
    // encoding, from its own folder.
    QByteArrayList paths;
    for (const std::string& file : files) {
        const std::string absolute = AbsolutePath(file);
        paths << QByteArray(absolute.data(), qsizetype(absolute.size()));
    }
    QDBusMessage open = Call(kHandOverInterface, "Open");
    open << QVariant::fromValue(paths);
    const QDBusMessage reply = bus.call(open, QDBus::Block, kHandOverTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

QString PublishOnBus(MprisService& service, const QDBusConnection& bus, bool shared) {
    if (!bus.isConnected()) return bus.lastError().message();
    QString why;
    if (shared && service.Publish(bus, QString::fromLatin1(kMprisServiceName), why)) return {};
    const QString own = QStringLiteral("%1.instance%2")
                            .arg(QString::fromLatin1(kMprisServiceName))
                            .arg(QCoreApplication::applicationPid());
    if (service.Publish(bus, own, why)) return {};
    return why;
}

}  // namespace zirvak
