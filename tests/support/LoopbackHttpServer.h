#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>

#include <optional>

// A small HTTP/1.1 server on 127.0.0.1 for tests, on the test's own event loop (wait with an event
// loop turning, e.g. QTest::qWaitFor or QCoro::waitFor). It keeps connections alive, records every
// request and answers by path.
class LoopbackHttpServer final : public QObject {
    Q_OBJECT

public:
    struct Reply {
        int status = 200;
        QByteArray body = {};
        QList<std::pair<QByteArray, QByteArray>> headers = {};
        // Sent as it is instead of an HTTP answer.
        std::optional<QByteArray> raw = {};
        // Only this many bytes of the announced body are sent.
        qsizetype cutAfter = -1;
        // After a raw or cut answer the connection stays open, silent, instead of closing.
        bool hold = false;
    };
    // Nothing at all is answered; the connection stays open.
    static Reply silence() { return Reply{.raw = QByteArray(), .hold = true}; }

    struct Request {
        QByteArray method;
        QByteArray path;
        QHash<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
        quint16 peerPort = 0;
    };

    explicit LoopbackHttpServer(QObject* parent = nullptr);

    // Closes every connection and refuses new ones; the port stays known.
    void stop();
    quint16 port() const { return m_port; }
    // "http://127.0.0.1:<port>" + path
    QString url(const QString& path = {}) const;

    // Answers for `path` in order; the last one is repeated.
    void route(const QByteArray& path, QList<Reply> replies) { m_routes.insert(path, std::move(replies)); }
    // The answer for a path without a route.
    Reply fallback{404, "not found"};

    QList<Request> requests;
    QList<Request> requestsTo(const QByteArray& path) const;

private:
    void serve(QTcpSocket* socket);
    Reply replyFor(const QByteArray& path);

    QTcpServer m_server;
    QHash<QByteArray, QList<Reply>> m_routes;
    quint16 m_port = 0;
};
