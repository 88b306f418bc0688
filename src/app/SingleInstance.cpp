#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString lockName = QStringLiteral("orlavo.lock");
const QString socketName = QStringLiteral("orlavo.socket");

// The lock and the socket live in a folder only this user can reach. Without XDG_RUNTIME_DIR that
// folder is a fixed name in the shared /tmp, which another user could have made first to read the
// commands or answer in our place: a folder that is not ours alone is refused, never adopted.
QString privateDirectoryProblem(const QString& path) {
    const QByteArray encoded = QFile::encodeName(path);
    if (::mkdir(encoded.constData(), 0700) != 0 && errno != EEXIST) {
        const QString parent = QFileInfo(path).absolutePath();
        if (!QDir().mkpath(parent) || (::mkdir(encoded.constData(), 0700) != 0 && errno != EEXIST)) {
            return QStringLiteral("cannot make %1").arg(path);
        }
    }
    struct stat status {};
    if (::lstat(encoded.constData(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        return QStringLiteral("%1 is not a folder").arg(path);
    }
    if (status.st_uid != ::geteuid() || (status.st_mode & 0777) != 0700) {
        return QStringLiteral("%1 is not private to this user (it must be theirs with mode 0700)").arg(path);
    }
    return {};
}

// The lock is held by a process that is still there (it may not listen yet).
bool lockHolderAlive(const QString& lockPath) {
    QLockFile lock(lockPath);
    qint64 pid = 0;
    QString host;
    QString application;
    return lock.getLockInfo(&pid, &host, &application) && pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0;
}

QByteArray line(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

SingleInstance::SingleInstance(QString directory, QObject* parent)
    : QObject(parent)
    , m_directory(std::move(directory)) {}

SingleInstance::~SingleInstance() {
    if (m_server) {
        m_server->close();
    }
}

QString SingleInstance::defaultDirectory() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) {
        return runtime;
    }
    return QDir::tempPath() + QStringLiteral("/orlavo-") + QString::number(::getuid());
}

QString SingleInstance::socketPath() const {
    return m_directory + QLatin1Char('/') + socketName;
}

bool SingleInstance::becomePrimary(QString* error) {
    const auto fail = [error](const QString& why) {
        if (error) {
            *error = why;
        }
        return false;
    };
    if (const QString problem = privateDirectoryProblem(m_directory); !problem.isEmpty()) {
        return fail(problem);
    }
    auto lock = std::make_unique<QLockFile>(m_directory + QLatin1Char('/') + lockName);
    // Only a lock whose process is gone is stale, however old it is.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() == QLockFile::LockFailedError) {
            return fail(QStringLiteral("another Orlavo is running"));
        }
        return fail(QStringLiteral("cannot lock %1").arg(m_directory));
    }
    // Holding the lock, a socket left behind belongs to an instance that has ended.
    QLocalServer::removeServer(socketPath());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(socketPath())) {
        const QString why = m_server->errorString();
        delete m_server;
        m_server = nullptr;
        return fail(QStringLiteral("cannot listen on %1: %2").arg(socketPath(), why));
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            serve(socket);
        }
    });
    m_lock = std::move(lock);
    return true;
}

void SingleInstance::serve(QLocalSocket* socket) {
    socket->setParent(this);
    // A client that never finishes its request does not keep the connection.
    auto* timeout = new QTimer(socket);
    timeout->setSingleShot(true);
    connect(timeout, &QTimer::timeout, socket, &QLocalSocket::abort);
    timeout->start(requestTimeoutMs);
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, timeout] {
        if (socket->property("answered").toBool()) {
            socket->readAll();
            return;
        }
        if (!socket->canReadLine()) {
            if (socket->bytesAvailable() > maxRequestBytes) {
                socket->abort();
            }
            return;
        }
        const QByteArray request = socket->readLine(maxRequestBytes + 1);
        socket->setProperty("answered", true);
        timeout->stop();
        const QJsonDocument document = QJsonDocument::fromJson(request);
        const QJsonValue arguments = document.object().value(QStringLiteral("arguments"));
        RemoteReply reply{2, QStringLiteral("Orlavo did not understand the request.")};
        if (document.isObject() && arguments.isArray()) {
            QStringList list;
            bool allText = true;
            for (const QJsonValue& argument : arguments.toArray()) {
                allText = allText && argument.isString();
                list << argument.toString();
            }
            if (allText) {
                reply = m_handler ? m_handler(list) : RemoteReply{1, QStringLiteral("Orlavo is starting.")};
            }
        }
        socket->write(
            line({{QStringLiteral("exitCode"), reply.exitCode}, {QStringLiteral("message"), reply.message}}));
        socket->disconnectFromServer();
    });
}

std::optional<RemoteReply> SingleInstance::send(const QString& directory, const QStringList& arguments,
                                                int timeoutMs) {
    // Whoever answers in a folder that is not ours alone is not our instance.
    struct stat status {};
    if (::lstat(QFile::encodeName(directory).constData(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != ::geteuid() || (status.st_mode & 0777) != 0700) {
        return std::nullopt;
    }
    const QString path = directory + QLatin1Char('/') + socketName;
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(path);
        if (socket.waitForConnected(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())))) {
            break;
        }
        if (!lockHolderAlive(directory + QLatin1Char('/') + lockName) || deadline.hasExpired()) {
            return std::nullopt;
        }
        QThread::msleep(50);
    }
    socket.write(line({{QStringLiteral("arguments"), QJsonArray::fromStringList(arguments)}}));
    QByteArray answer;
    while (!answer.contains('\n')) {
        if (!socket.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())))) {
            answer += socket.readAll();
            if (!answer.contains('\n')) {
                return std::nullopt;
            }
            break;
        }
        answer += socket.readAll();
    }
    const QJsonObject object = QJsonDocument::fromJson(answer.left(answer.indexOf('\n'))).object();
    if (!object.value(QStringLiteral("exitCode")).isDouble()) {
        return std::nullopt;
    }
    return RemoteReply{object.value(QStringLiteral("exitCode")).toInt(),
                       object.value(QStringLiteral("message")).toString()};
}
