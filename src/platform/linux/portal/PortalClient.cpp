#include "platform/linux/portal/PortalClient.h"

#include "platform/linux/portal/PortalRequest.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QPointer>

namespace {

const QString registryInterface = QStringLiteral("org.freedesktop.host.portal.Registry");

} // namespace

PortalClient::PortalClient(QDBusConnection connection, QString appId)
    : m_connection(std::move(connection))
    , m_appId(std::move(appId)) {}

QString PortalClient::newToken() {
    static quint64 next = 0;
    return QStringLiteral("orlavo%1").arg(++next);
}

void PortalClient::createSession(const QString& interface, QObject* context, const char* closedSlot,
                                 std::function<void(const QString& session)> opened, Done refused) {
    const QString token = newToken();
    request(interface, QStringLiteral("CreateSession"), {}, {{QStringLiteral("session_handle_token"), token}},
            context,
            [this, token, context, closedSlot, opened = std::move(opened),
             refused = std::move(refused)](const Response& response) {
                if (response.code != 0) {
                    refused(response);
                    return;
                }
                const QVariant handle = response.results.value(QStringLiteral("session_handle"));
                // Older portals answer with a string, newer with an object path; some with neither.
                QString session = handle.userType() == qMetaTypeId<QDBusObjectPath>()
                                      ? qvariant_cast<QDBusObjectPath>(handle).path()
                                      : handle.toString();
                if (session.isEmpty()) {
                    session = handlePath(QStringLiteral("session"), token);
                }
                m_connection.connect(QString(), session, sessionInterface, QStringLiteral("Closed"), context,
                                     closedSlot);
                opened(session);
            });
}

QString PortalClient::handlePath(const QString& kind, const QString& token) const {
    // ":1.42" becomes "1_42".
    QString sender = m_connection.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/%1/%2/%3").arg(kind, sender, token);
}

void PortalClient::whenRegistered(std::function<void()> next) {
    if (m_registration == Registration::done || m_appId.isEmpty()) {
        next();
        return;
    }
    m_waiting.push_back(std::move(next));
    if (m_registration == Registration::pending) {
        return;
    }
    m_registration = Registration::pending;
    // Registration must come before any other request on the connection; a portal without the
    // registry (or one that knows us already) refuses, and the requests go ahead all the same.
    call(registryInterface, QStringLiteral("Register"), {m_appId, QVariantMap()}, this,
         [this](const QString&) {
             m_registration = Registration::done;
             std::vector<std::function<void()>> waiting = std::move(m_waiting);
             m_waiting.clear();
             for (const std::function<void()>& waiter : waiting) {
                 waiter();
             }
         });
}

void PortalClient::request(const QString& interface, const QString& method, QVariantList arguments,
                           QVariantMap options, QObject* context, Done done) {
    QPointer<QObject> guard(context);
    whenRegistered([this, interface, method, arguments = std::move(arguments), options = std::move(options),
                    guard, done = std::move(done)]() mutable {
        if (!guard) {
            return;
        }
        const QString token = newToken();
        options.insert(QStringLiteral("handle_token"), token);
        auto* pending = new PortalRequest(m_connection, handlePath(QStringLiteral("request"), token), guard,
                                          std::move(done));
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        arguments.append(options);
        message.setArguments(arguments);
        auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(message), pending);
        connect(watcher, &QDBusPendingCallWatcher::finished, pending,
                [pending](QDBusPendingCallWatcher* call) {
                    call->deleteLater();
                    const QDBusPendingReply<QDBusObjectPath> reply = *call;
                    if (reply.isError()) {
                        pending->fail(reply.error().message());
                    } else {
                        pending->moveTo(reply.value().path());
                    }
                });
    });
}

void PortalClient::call(const QString& interface, const QString& method, QVariantList arguments,
                        QObject* context, std::function<void(const QString&)> done) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(message), context);
    connect(watcher, &QDBusPendingCallWatcher::finished, context,
            [done = std::move(done)](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                done(finished->isError() ? finished->error().message() : QString());
            });
}

void PortalClient::send(const QString& interface, const QString& method, QVariantList arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    message.setAutoStartService(false);
    m_connection.send(message);
}

uint PortalClient::interfaceVersion(QDBusConnection connection, const QString& interface, int timeoutMs) {
    if (!connection.isConnected()) {
        return 0;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(
        service, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    message.setArguments({interface, QStringLiteral("version")});
    const QDBusMessage reply = connection.call(message, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return 0;
    }
    return qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant().toUInt();
}
