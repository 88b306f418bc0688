#pragma once

#include "platform/linux/portal/PortalClient.h"

#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

// One pending portal Request: listens for its Response on the expected path and hands it over
// once, then deletes itself. The portal may answer on another path than expected (versions
// before handle tokens); moveTo() follows it there.
class PortalRequest final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PortalRequest)

public:
    PortalRequest(QDBusConnection connection, QString path, QObject* context, PortalClient::Done done);
    ~PortalRequest() override;

    void moveTo(const QString& path);
    // The call failed: no Response will come.
    void fail(const QString& error);

private slots:
    void handleResponse(uint code, const QVariantMap& results);

private:
    void subscribe();
    void unsubscribe();
    void finish(const PortalClient::Response& response);

    QDBusConnection m_connection;
    QString m_path;
    QPointer<QObject> m_context;
    PortalClient::Done m_done;
    bool m_finished = false;
};
