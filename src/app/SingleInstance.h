#pragma once

#include "app/RemoteCommands.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QLocalServer;
class QLocalSocket;
class QLockFile;

// One Orlavo per user. The first launch holds a lock file and listens on a local socket beside
// it; later launches find the lock taken and hand their command line to it over the socket.
//
// Wire format, one exchange per connection: the client sends a JSON object {"arguments": [...]}
// and a newline; the server answers {"exitCode": N, "message": "..."} and a newline, then closes.
class SingleInstance final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SingleInstance)

public:
    using Handler = std::function<RemoteReply(const QStringList& arguments)>;

    // A request larger than this is not a command line: the connection is dropped.
    static constexpr qsizetype maxRequestBytes = 64 * 1024;
    static constexpr int requestTimeoutMs = 5000;

    // `directory` holds the lock and the socket; it is made (mode 0700) when missing.
    explicit SingleInstance(QString directory = defaultDirectory(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // $XDG_RUNTIME_DIR, or a folder of this user's in the temporary directory without it.
    static QString defaultDirectory();
    QString socketPath() const;

    // Takes the lock and listens. False when another instance holds the lock, or when the lock or
    // the socket cannot be made (`error` says which).
    bool becomePrimary(QString* error = nullptr);
    // Answers the command lines handed over once primary.
    void setHandler(Handler handler) { m_handler = std::move(handler); }

    // Hands `arguments` to the instance listening in `directory` and waits for its answer; absent
    // when none answers within `timeoutMs` (an instance still starting is waited for).
    static std::optional<RemoteReply> send(const QString& directory, const QStringList& arguments,
                                           int timeoutMs = 3000);

private:
    void serve(QLocalSocket* socket);

    QString m_directory;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    Handler m_handler;
};
