#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <httplib.h>
#include <memory>
#include <string>

// orlavo-server as a child process with a configuration folder of its own, listening on a free
// loopback port. Its standard error goes to a file, so a long test never fills a pipe.
class ServerProcess final {
public:
    struct Options {
        QByteArray configJson;                            // written as server.json when not empty
        QList<QPair<QByteArray, QByteArray>> environment; // on top of a clean environment
        QStringList arguments;                            // before "--listen 127.0.0.1:0"
    };

    ServerProcess();
    explicit ServerProcess(Options options);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts the server and waits until it listens. On failure, `failure` says why (with its log).
    bool start(QString* failure);
    // Runs the binary to completion with `arguments` in this configuration; returns its exit
    // status and its standard output in `output`.
    int runToCompletion(const QStringList& arguments, QByteArray* output);
    // Asks the server to stop (SIGTERM); returns its exit status, -1 when it crashed or hung.
    int stop();

    int port() const { return m_port; }
    std::string token() const;
    QString configDirectory() const { return m_home.path() + QStringLiteral("/Kestrov"); }
    QString tokenFile() const { return configDirectory() + QStringLiteral("/server-token"); }
    QByteArray log() const;
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    qint64 processId() const { return m_process.processId(); }
    // Resident memory from /proc, in kilobytes.
    long residentKilobytes() const;

    std::unique_ptr<httplib::Client> client() const;
    httplib::Headers authorization() const;

    static QString binary();

private:
    QProcessEnvironment environment() const;

    Options m_options;
    QTemporaryDir m_home;
    QProcess m_process;
    int m_port = 0;
};
