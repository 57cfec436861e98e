// The properties of the service's interfaces (org.freedesktop.DBus.Properties), answered by us
// rather than by Qt: Qt converts a value of another type on its own (an int32 Volume, a boolean
// Rate) or fails with an internal error of its own (a string), where a client must hear
// InvalidArgs. Each property is read and written through its adaptor's Qt property.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusVariant>
#include <QMetaProperty>
#include <QVariantMap>

namespace zirvak {

class MprisService;

class MprisPropertiesAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.DBus.Properties")
    // Qt describes this standard interface itself; told nothing here, it does so once.
    Q_CLASSINFO("D-Bus Introspection", "")
public:
    explicit MprisPropertiesAdaptor(MprisService* service);

public slots:
    QDBusVariant Get(const QString& interface, const QString& name);
    // For no interface name, the properties of every interface.
    QVariantMap GetAll(const QString& interface);
    // Sets a writable property from a value of exactly its type; anything else is answered with
    // the error the bus names for it, and nothing changes.
    void Set(const QString& interface, const QString& name, const QDBusVariant& value);

private:
    QMetaProperty Lookup(const QString& interface, const QString& name, QObject*& adaptor);

    MprisService& service_;
};

}  // namespace zirvak
