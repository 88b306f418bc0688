#pragma once

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// The desktop portal as far as Orlavo uses it, served on a private bus: the host registry, the
// GlobalShortcuts and RemoteDesktop interfaces and their sessions. Answers every request through
// a Request object as the real portal does (the Response comes after the call's reply), records
// what it was asked, and answers with the response codes the test sets.
class FakeDesktopPortal final : public QDBusVirtualObject {
    Q_OBJECT

public:
    explicit FakeDesktopPortal(QDBusConnection connection);
    ~FakeDesktopPortal() override;

    // Response codes: 0 granted, 1 the user declined, 2 failed.
    uint bindResponse = 0;
    // Whether the user gave the shortcut a key in the dialog.
    bool assignsTrigger = true;
    uint startResponse = 0;

    // "Interface.Method" of every call, in order.
    QStringList calls;
    QString registeredAppId;
    QString bindSignature;
    QString shortcutId;
    QVariantMap shortcutProperties;
    QVariantMap selectDevicesOptions;
    QList<QPair<int, uint>> keysyms;
    QString keysymSession;

    QString shortcutsSession() const { return m_shortcutsSession; }
    QString remoteDesktopSession() const { return m_remoteSession; }
    // The restore token the next Start hands out.
    QString nextRestoreToken() const { return QStringLiteral("token-%1").arg(m_startCount + 1); }

    void emitShortcut(bool activated, const QString& id, const QString& session = {});
    void closeSession(const QString& session);

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    QString handle(const QDBusMessage& message, const QString& kind, const QString& token) const;
    // Replies with the request's path, then sends its Response.
    void answer(const QDBusMessage& message, uint code, const QVariantMap& results);
    void handleShortcuts(const QDBusMessage& message);
    void handleRemoteDesktop(const QDBusMessage& message);

    QDBusConnection m_connection;
    QString m_shortcutsSession;
    QString m_remoteSession;
    int m_startCount = 0;
};
