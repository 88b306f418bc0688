#pragma once

#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

// One entry of the GlobalShortcuts portal's shortcut lists (D-Bus `(sa{sv})`): an id of ours and
// its properties (description, preferred_trigger; trigger_description in answers).
struct PortalShortcut {
    QString id;
    QVariantMap properties;

    // Makes the D-Bus type known to QtDBus; call before the first use.
    static void registerType();
    // The entries of a reply's `shortcuts` value, whatever form QtDBus delivered them in.
    static QList<PortalShortcut> listFrom(const QVariant& value);
};

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut);
const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut);

Q_DECLARE_METATYPE(PortalShortcut)
