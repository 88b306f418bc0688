#include "FakeDesktopPortal.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QTimer>

namespace {

const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString remoteInterface = QStringLiteral("org.freedesktop.portal.RemoteDesktop");

struct Shortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const Shortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, Shortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

QVariantMap optionsOf(const QDBusMessage& message) {
    return qdbus_cast<QVariantMap>(message.arguments().constLast());
}

} // namespace

Q_DECLARE_METATYPE(Shortcut)

FakeDesktopPortal::FakeDesktopPortal(QDBusConnection connection)
    : m_connection(std::move(connection)) {
    qDBusRegisterMetaType<Shortcut>();
    qDBusRegisterMetaType<QList<Shortcut>>();
    m_connection.registerVirtualObject(portalPath, this, QDBusConnection::SubPath);
    m_connection.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
}

FakeDesktopPortal::~FakeDesktopPortal() {
    m_connection.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
    m_connection.unregisterObject(portalPath, QDBusConnection::UnregisterTree);
}

QString FakeDesktopPortal::introspect(const QString&) const {
    return {};
}

QString FakeDesktopPortal::handle(const QDBusMessage& message, const QString& kind,
                                  const QString& token) const {
    QString sender = message.service().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("%1/%2/%3/%4").arg(portalPath, kind, sender, token);
}

void FakeDesktopPortal::answer(const QDBusMessage& message, uint code, const QVariantMap& results) {
    const QString request = handle(message, QStringLiteral("request"),
                                   optionsOf(message).value(QStringLiteral("handle_token")).toString());
    m_connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
    QTimer::singleShot(0, this, [this, request, code, results] {
        QDBusMessage response = QDBusMessage::createSignal(
            request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        response << code << results;
        m_connection.send(response);
    });
}

bool FakeDesktopPortal::handleMessage(const QDBusMessage& message, const QDBusConnection&) {
    const QString interface = message.interface();
    calls << interface.section(QLatin1Char('.'), -1) + QLatin1Char('.') + message.member();
    if (interface == QLatin1String("org.freedesktop.DBus.Properties")) {
        m_connection.send(message.createReply(QVariant::fromValue(QDBusVariant(uint(2)))));
    } else if (interface == QLatin1String("org.freedesktop.host.portal.Registry")) {
        registeredAppId = message.arguments().value(0).toString();
        m_connection.send(message.createReply());
    } else if (interface == QLatin1String("org.freedesktop.portal.Session")) {
        m_connection.send(message.createReply());
    } else if (interface == shortcutsInterface) {
        handleShortcuts(message);
    } else if (interface == remoteInterface) {
        handleRemoteDesktop(message);
    } else {
        return false;
    }
    return true;
}

void FakeDesktopPortal::handleShortcuts(const QDBusMessage& message) {
    if (message.member() == QLatin1String("CreateSession")) {
        m_shortcutsSession =
            handle(message, QStringLiteral("session"),
                   optionsOf(message).value(QStringLiteral("session_handle_token")).toString());
        // This version answers with the session as a string, as the portal's older versions did.
        answer(message, 0, {{QStringLiteral("session_handle"), m_shortcutsSession}});
    } else if (message.member() == QLatin1String("BindShortcuts")) {
        bindSignature = message.signature();
        const QList<Shortcut> shortcuts = qdbus_cast<QList<Shortcut>>(message.arguments().value(1));
        shortcutId = shortcuts.value(0).id;
        shortcutProperties = shortcuts.value(0).properties;
        QList<Shortcut> bound;
        if (assignsTrigger) {
            bound.append({shortcutId,
                          {{QStringLiteral("description"), shortcutProperties.value("description")},
                           {QStringLiteral("trigger_description"),
                            shortcutProperties.value(QStringLiteral("preferred_trigger"))}}});
        }
        answer(message, bindResponse, {{QStringLiteral("shortcuts"), QVariant::fromValue(bound)}});
    }
}

void FakeDesktopPortal::handleRemoteDesktop(const QDBusMessage& message) {
    const QString member = message.member();
    if (member == QLatin1String("CreateSession")) {
        m_remoteSession = handle(message, QStringLiteral("session"),
                                 optionsOf(message).value(QStringLiteral("session_handle_token")).toString());
        answer(message, 0,
               {{QStringLiteral("session_handle"), QVariant::fromValue(QDBusObjectPath(m_remoteSession))}});
    } else if (member == QLatin1String("SelectDevices")) {
        selectDevicesOptions = optionsOf(message);
        selectDevicesOptions.remove(QStringLiteral("handle_token"));
        answer(message, 0, {});
    } else if (member == QLatin1String("Start")) {
        QVariantMap results;
        if (startResponse == 0) {
            results = {{QStringLiteral("devices"), uint(1)},
                       {QStringLiteral("restore_token"), nextRestoreToken()}};
            ++m_startCount;
        }
        answer(message, startResponse, results);
    } else if (member == QLatin1String("NotifyKeyboardKeysym")) {
        keysymSession = qvariant_cast<QDBusObjectPath>(message.arguments().value(0)).path();
        keysyms.append({message.arguments().value(2).toInt(), message.arguments().value(3).toUInt()});
        m_connection.send(message.createReply());
    }
}

void FakeDesktopPortal::emitShortcut(bool activated, const QString& id, const QString& session) {
    QDBusMessage signal =
        QDBusMessage::createSignal(portalPath, shortcutsInterface,
                                   activated ? QStringLiteral("Activated") : QStringLiteral("Deactivated"));
    signal << QVariant::fromValue(QDBusObjectPath(session.isEmpty() ? m_shortcutsSession : session)) << id
           << qulonglong(1234) << QVariantMap();
    m_connection.send(signal);
}

void FakeDesktopPortal::closeSession(const QString& session) {
    QDBusMessage signal = QDBusMessage::createSignal(
        session, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Closed"));
    signal << QVariantMap();
    m_connection.send(signal);
}
