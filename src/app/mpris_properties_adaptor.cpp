#include "mpris_properties_adaptor.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QMetaProperty>

#include "mpris_service.h"

namespace zirvak {

namespace {

// The adaptor of the service that serves `interface`; for an empty name, as the bus allows,
// the first adaptor that has a property called `name`.
QObject* AdaptorOf(QObject& service, const QString& interface, const QString& name = {}) {
    for (QObject* child : service.children()) {
        const auto* adaptor = qobject_cast<QDBusAbstractAdaptor*>(child);
        if (adaptor == nullptr) continue;
        const QMetaObject* meta = adaptor->metaObject();
        const int info = meta->indexOfClassInfo("D-Bus Interface");
        if (info < 0) continue;
        const QString served = QString::fromLatin1(meta->classInfo(info).value());
        if (served == QLatin1String("org.freedesktop.DBus.Properties")) continue;
        if (interface.isEmpty() ? meta->indexOfProperty(name.toLatin1().constData()) >= 0
                                : served == interface)
            return child;
    }
    return nullptr;
}

// The adaptor's own properties only, not QObject's objectName.
QMetaProperty PropertyOf(const QObject& adaptor, const QString& name) {
    const QMetaObject* meta = adaptor.metaObject();
    const int index = meta->indexOfProperty(name.toLatin1().constData());
    if (index < meta->propertyOffset()) return {};
    return meta->property(index);
}

// The D-Bus signature of a value as it came off the bus: a basic type arrives as itself,
// anything composed as a QDBusArgument that knows its signature.
QString SignatureOf(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<QDBusArgument>())
        return value.value<QDBusArgument>().currentSignature();
    return QString::fromLatin1(QDBusMetaType::typeToSignature(value.metaType()));
}

}  // namespace

MprisPropertiesAdaptor::MprisPropertiesAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), service_(*service) {}

QDBusVariant MprisPropertiesAdaptor::Get(const QString& interface, const QString& name) {
    QObject* adaptor = nullptr;
    const QMetaProperty property = Lookup(interface, name, adaptor);
    if (property.isValid()) return QDBusVariant(property.read(adaptor));
    return QDBusVariant(QVariant(0));  // not sent: the error goes instead
}

// The property `name` of `interface` and the adaptor that has it; an invalid property, with the
// error sent to the caller, when there is no such interface or property.
QMetaProperty MprisPropertiesAdaptor::Lookup(const QString& interface, const QString& name,
                                             QObject*& adaptor) {
    adaptor = AdaptorOf(service_, interface, name);
    const QMetaProperty property = adaptor ? PropertyOf(*adaptor, name) : QMetaProperty();
    if (!adaptor) {
        service_.sendErrorReply(QDBusError::UnknownInterface,
                                QStringLiteral("No interface %1 here").arg(interface));
    } else if (!property.isValid()) {
        service_.sendErrorReply(QDBusError::UnknownProperty,
                                QStringLiteral("No property %1 in %2").arg(name, interface));
    }
    return property;
}

QVariantMap MprisPropertiesAdaptor::GetAll(const QString& interface) {
    QVariantMap all;
    const auto add = [&all](QObject& adaptor) {
        const QMetaObject* meta = adaptor.metaObject();
        for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
            all.insert(QString::fromLatin1(meta->property(i).name()),
                       meta->property(i).read(&adaptor));
    };
    if (interface.isEmpty()) {
        for (QObject* child : service_.children())
            if (qobject_cast<QDBusAbstractAdaptor*>(child) && child != this) add(*child);
    } else if (QObject* adaptor = AdaptorOf(service_, interface)) {
        add(*adaptor);
    } else {
        service_.sendErrorReply(QDBusError::UnknownInterface,
                                QStringLiteral("No interface %1 here").arg(interface));
    }
    return all;
}

void MprisPropertiesAdaptor::Set(const QString& interface, const QString& name,
                                 const QDBusVariant& value) {
    QObject* adaptor = nullptr;
    const QMetaProperty property = Lookup(interface, name, adaptor);
    if (!property.isValid()) {
        // Said already.
    } else if (!property.isWritable()) {
        service_.sendErrorReply(QDBusError::PropertyReadOnly,
                                QStringLiteral("%1 is read-only").arg(name));
    } else if (const QString wanted =
                   QString::fromLatin1(QDBusMetaType::typeToSignature(property.metaType()));
               SignatureOf(value.variant()) != wanted) {
        service_.sendErrorReply(QDBusError::InvalidArgs,
                                QStringLiteral("%1 takes a value of type '%2', not '%3'")
                                    .arg(name, wanted, SignatureOf(value.variant())));
    } else {
        property.write(adaptor, value.variant());
    }
}

}  // namespace zirvak
