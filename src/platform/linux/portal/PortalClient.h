#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <vector>

// The desktop portal (org.freedesktop.portal.Desktop) on one bus connection. Registers our
// application id once before the first request, as a host application must on portals that
// support it (an older portal's refusal is harmless). Requests answer through a Request object:
// its Response is subscribed to before the call goes out, so an early answer is not missed, and
// every answer arrives later on the main thread; nothing here blocks.
class PortalClient final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PortalClient)

public:
    static inline const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
    static inline const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
    static inline const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");

    // 0 success, 1 the user cancelled, 2 anything else (a failed call included, with `error`).
    struct Response {
        uint code = 2;
        QVariantMap results;
        QString error;
    };
    using Done = std::function<void(const Response&)>;

    PortalClient(QDBusConnection connection, QString appId);

    QDBusConnection connection() const { return m_connection; }

    // Calls `method` of `interface` with `arguments` followed by `options` (which gets a
    // handle_token), and hands the Response to `done` unless `context` has gone by then.
    void request(const QString& interface, const QString& method, QVariantList arguments, QVariantMap options,
                 QObject* context, Done done);
    // Creates a session of `interface`. `opened` gets the session's path, whose Closed signal is
    // then connected to `closedSlot` (a SLOT taking a QVariantMap) of `context`; `refused` gets the
    // Response when the portal opened none.
    void createSession(const QString& interface, QObject* context, const char* closedSlot,
                       std::function<void(const QString& session)> opened, Done refused);
    // A call without a Request; `done` gets the error text, empty on success.
    void call(const QString& interface, const QString& method, QVariantList arguments, QObject* context,
              std::function<void(const QString& error)> done);
    // A one-way message (key presses): queued in order on the connection, no answer awaited.
    void send(const QString& interface, const QString& method, QVariantList arguments);

    // A token for a handle of our own (sessions, requests), unique in this process.
    static QString newToken();
    // The path the portal gives the Request or Session with `token` for this connection.
    QString handlePath(const QString& kind, const QString& token) const;

    // The version of a portal interface, 0 when the portal does not offer it. Asks the bus and
    // waits at most `timeoutMs`: for the one-time choice of paths, not for the running app.
    static uint interfaceVersion(QDBusConnection connection, const QString& interface, int timeoutMs);

private:
    void whenRegistered(std::function<void()> next);

    QDBusConnection m_connection;
    QString m_appId;
    enum class Registration { none, pending, done } m_registration = Registration::none;
    std::vector<std::function<void()>> m_waiting;
};
