#include "LoopbackHttpServer.h"

#include <QHostAddress>
#include <QTcpSocket>

LoopbackHttpServer::LoopbackHttpServer(QObject* parent)
    : QObject(parent) {
    m_server.listen(QHostAddress::LocalHost);
    m_port = m_server.serverPort();
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

void LoopbackHttpServer::stop() {
    m_server.close();
    for (QTcpSocket* socket : findChildren<QTcpSocket*>()) {
        socket->abort();
    }
}

QString LoopbackHttpServer::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

QList<LoopbackHttpServer::Request> LoopbackHttpServer::requestsTo(const QByteArray& path) const {
    QList<Request> found;
    for (const Request& request : requests) {
        if (request.path == path) {
            found.append(request);
        }
    }
    return found;
}

LoopbackHttpServer::Reply LoopbackHttpServer::replyFor(const QByteArray& path) {
    const auto found = m_routes.find(path);
    if (found == m_routes.end() || found->isEmpty()) {
        return fallback;
    }
    return found->size() > 1 ? found->takeFirst() : found->constFirst();
}

void LoopbackHttpServer::serve(QTcpSocket* socket) {
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    while (!socket->property("silent").toBool()) {
        const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0) {
            break;
        }
        const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        Request request{requestLine.value(0), requestLine.value(1), {}, {}, socket->peerPort()};
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0) {
                request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                       lines[i].mid(colon + 1).trimmed());
            }
        }
        const qsizetype length = request.headers.value("content-length").toLongLong();
        if (buffer.size() < headerEnd + 4 + length) {
            break;
        }
        request.body = buffer.mid(headerEnd + 4, length);
        buffer.remove(0, headerEnd + 4 + length);
        requests.append(request);

        const Reply reply = replyFor(request.path);
        QByteArray answer = reply.raw.value_or(QByteArray());
        if (!reply.raw) {
            answer = "HTTP/1.1 " + QByteArray::number(reply.status) +
                     " Status\r\nContent-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
            for (const auto& [name, value] : reply.headers) {
                answer += name + ": " + value + "\r\n";
            }
            answer += "\r\n";
            if (request.method != "HEAD") {
                answer += reply.cutAfter >= 0 ? reply.body.left(reply.cutAfter) : reply.body;
            }
        }
        socket->write(answer);
        if (reply.hold) {
            socket->setProperty("silent", true);
        } else if (reply.raw || reply.cutAfter >= 0) {
            socket->disconnectFromHost();
            return;
        }
    }
    socket->setProperty("buffer", buffer);
}
