#include "ServerProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <csignal>
#include <sys/prctl.h>

ServerProcess::ServerProcess()
    : ServerProcess(Options{}) {}

ServerProcess::ServerProcess(Options options)
    : m_options(std::move(options)) {
    QDir(m_home.path()).mkpath(QStringLiteral("Kestrov"));
    if (!m_options.configJson.isEmpty()) {
        QFile file(configDirectory() + QStringLiteral("/server.json"));
        if (file.open(QIODevice::WriteOnly)) {
            file.write(m_options.configJson);
        }
    }
}

ServerProcess::~ServerProcess() {
    stop();
}

QString ServerProcess::binary() {
    return QStringLiteral(ORLAVO_SERVER_BINARY);
}

QProcessEnvironment ServerProcess::environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& name : environment.keys()) {
        if (name.startsWith(QLatin1String("ORLAVO_"))) {
            environment.remove(name);
        }
    }
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path());
    for (const auto& [name, value] : m_options.environment) {
        environment.insert(QString::fromUtf8(name), QString::fromUtf8(value));
    }
    return environment;
}

bool ServerProcess::start(QString* failure) {
    m_process.setProcessEnvironment(environment());
    // A test that dies half-way must not leave servers behind.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.setStandardErrorFile(m_home.filePath(QStringLiteral("server.log")));
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start(binary(), m_options.arguments +
                                  QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
    if (!m_process.waitForStarted(10000)) {
        *failure = QStringLiteral("cannot start %1").arg(binary());
        return false;
    }
    // Loading the offline model takes about half a second, more on a busy machine.
    const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
    QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired()) {
        const auto match = listening.match(QString::fromUtf8(log()));
        if (match.hasMatch()) {
            m_port = match.captured(1).toInt();
            return true;
        }
        if (m_process.waitForFinished(50)) {
            break;
        }
    }
    *failure = QStringLiteral("the server did not start listening; its log:\n") + QString::fromUtf8(log());
    return false;
}

int ServerProcess::runToCompletion(const QStringList& arguments, QByteArray* output) {
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(binary(), arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    *output = process.readAllStandardOutput() + process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

int ServerProcess::stop() {
    if (m_process.state() == QProcess::NotRunning) {
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished();
        return -1;
    }
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

std::string ServerProcess::token() const {
    QFile file(tokenFile());
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll().trimmed().toStdString();
}

QByteArray ServerProcess::log() const {
    QFile file(m_home.filePath(QStringLiteral("server.log")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

long ServerProcess::residentKilobytes() const {
    QFile status(QStringLiteral("/proc/%1/status").arg(m_process.processId()));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const auto match =
        QRegularExpression(QStringLiteral("VmRSS:\\s+(\\d+) kB")).match(QString::fromUtf8(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLong() : -1;
}

std::unique_ptr<httplib::Client> ServerProcess::client() const {
    auto client = std::make_unique<httplib::Client>("127.0.0.1", m_port);
    client->set_read_timeout(60, 0);
    client->set_write_timeout(60, 0);
    return client;
}

httplib::Headers ServerProcess::authorization() const {
    return {{"Authorization", "Bearer " + token()}};
}
