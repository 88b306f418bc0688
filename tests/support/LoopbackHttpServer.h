#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>

#include <optional>

// A small HTTP/1.1 server on 127.0.0.1 for tests, running on the test's own event loop. Each
// answer closes its connection. Unknown paths answer 404.
class LoopbackHttpServer final : public QObject {
    Q_OBJECT

public:
    struct Response {
        int status = 200;
        QByteArray body = {};
        QList<std::pair<QByteArray, QByteArray>> headers = {};
        // Sent as it is instead of an HTTP answer.
        std::optional<QByteArray> raw = {};
        // Closes the connection after this many bytes of the body, having announced all of it.
        qsizetype cutAfter = -1;
    };
    struct Request {
        QByteArray method;
        QByteArray path;
        QHash<QByteArray, QByteArray> headers; // names in lower case
    };

    explicit LoopbackHttpServer(QObject* parent = nullptr);

    bool isListening() const { return m_server.isListening(); }
    // Stops accepting connections; later requests are refused. The port stays known.
    void stop() { m_server.close(); }
    quint16 port() const { return m_port; }
    // "http://127.0.0.1:<port>" + path
    QString url(const QString& path) const;

    void route(const QByteArray& path, Response response) { m_routes.insert(path, std::move(response)); }
    qsizetype requestCount(const QByteArray& path) const;

    QList<Request> requests;

private:
    void serve(QTcpSocket* socket);

    QTcpServer m_server;
    QHash<QByteArray, Response> m_routes;
    quint16 m_port = 0;
};
