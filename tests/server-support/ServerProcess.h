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
    };

    explicit ServerProcess(Options options = {});
    ~ServerProcess() { stop(); }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts the server and waits until it listens. On failure, `failure` says why (with its log).
    bool start(QString* failure);
    // Runs the binary to completion with `arguments` in this configuration; returns its exit
    // status and its standard output and error in `output`.
    int runToCompletion(const QStringList& arguments, QByteArray* output);
    // Asks the server to stop (SIGTERM); returns its exit status, -1 when it crashed or hung.
    int stop();

    int port() const { return m_port; }
    std::string token() const;
    QString tokenFile() const { return m_home.filePath(QStringLiteral("Kestrov/server-token")); }
    QString configFile() const { return m_home.filePath(QStringLiteral("Kestrov/server.json")); }
    QByteArray log() const;
    qint64 processId() const { return m_process.processId(); }
    // Resident memory from /proc, in kilobytes.
    long residentKilobytes() const;

    std::unique_ptr<httplib::Client> client() const;
    httplib::Headers authorization() const { return {{"Authorization", "Bearer " + token()}}; }
    // A transcription (with `headers` besides the token) and an edit (with `token`, by default the
    // server's own).
    httplib::Result postAudio(const QByteArray& wav, const httplib::Headers& headers = {}) const;
    httplib::Result postEdit(const std::string& json, const std::string& token = {}) const;

private:
    QProcessEnvironment environment() const;

    QTemporaryDir m_home;
    QProcess m_process;
    int m_port = 0;
    QList<QPair<QByteArray, QByteArray>> m_environment;
};
