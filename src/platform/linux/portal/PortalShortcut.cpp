#include "platform/linux/portal/PortalShortcut.h"

#include <QDBusMetaType>

void PortalShortcut::registerType() {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
}

QList<PortalShortcut> PortalShortcut::listFrom(const QVariant& value) {
    if (value.canConvert<QDBusArgument>()) {
        QList<PortalShortcut> shortcuts;
        qvariant_cast<QDBusArgument>(value) >> shortcuts;
        return shortcuts;
    }
    return qvariant_cast<QList<PortalShortcut>>(value);
}

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}
