#include "LoopbackHttpServer.h"

#include <QHostAddress>
#include <QTcpSocket>

#include <algorithm>

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

QString LoopbackHttpServer::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
}

qsizetype LoopbackHttpServer::requestCount(const QByteArray& path) const {
    return std::count_if(requests.cbegin(), requests.cend(),
                         [&](const Request& r) { return r.path == path; });
}

void LoopbackHttpServer::serve(QTcpSocket* socket) {
    if (socket->property("answered").toBool()) {
        socket->readAll();
        return;
    }
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0) {
        socket->setProperty("buffer", buffer);
        return;
    }
    socket->setProperty("answered", true);
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    Request request;
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.path = requestLine.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0) {
            request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                   lines[i].mid(colon + 1).trimmed());
        }
    }
    requests.append(request);

    const auto found = m_routes.constFind(request.path);
    const Response response = found != m_routes.cend() ? *found : Response{404, "not found", {}, {}, -1};
    if (response.raw) {
        socket->write(*response.raw);
        socket->disconnectFromHost();
        return;
    }
    QByteArray answer = "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\n";
    answer += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\nConnection: close\r\n";
    for (const auto& [name, value] : response.headers) {
        answer += name + ": " + value + "\r\n";
    }
    answer += "\r\n";
    answer += response.cutAfter >= 0 ? response.body.left(response.cutAfter) : response.body;
    socket->write(answer);
    socket->disconnectFromHost();
}
