#include "ServerProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <csignal>
#include <sys/prctl.h>

namespace {

const QString binary = QStringLiteral(ORLAVO_SERVER_BINARY);

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int exitStatusOf(const QProcess& process) {
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace

ServerProcess::ServerProcess(Options options)
    : m_environment(std::move(options.environment)) {
    QDir(m_home.path()).mkpath(QStringLiteral("Kestrov"));
    QFile file(m_home.filePath(QStringLiteral("Kestrov/server.json")));
    if (!options.configJson.isEmpty() && file.open(QIODevice::WriteOnly)) {
        file.write(options.configJson);
    }
}

QProcessEnvironment ServerProcess::environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& name : environment.keys()) {
        if (name.startsWith(QLatin1String("ORLAVO_"))) {
            environment.remove(name);
        }
    }
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path());
    for (const auto& [name, value] : m_environment) {
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
    m_process.start(binary, {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
    // Loading the offline model takes about half a second, more on a busy machine.
    const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
    for (QDeadlineTimer deadline(60000); m_process.waitForStarted(10000) && !deadline.hasExpired();) {
        if (const auto match = listening.match(QString::fromUtf8(log())); match.hasMatch()) {
            m_port = match.captured(1).toInt();
            return true;
        }
        if (m_process.waitForFinished(50)) {
            break;
        }
    }
    *failure =
        QStringLiteral("%1 did not start listening; its log:\n%2").arg(binary, QString::fromUtf8(log()));
    return false;
}

int ServerProcess::runToCompletion(const QStringList& arguments, QByteArray* output) {
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(binary, arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    *output = process.readAllStandardOutput() + process.readAllStandardError();
    return exitStatusOf(process);
}

int ServerProcess::stop() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished();
            return -1;
        }
    }
    return exitStatusOf(m_process);
}

std::string ServerProcess::token() const {
    return contentsOf(tokenFile()).trimmed().toStdString();
}

QByteArray ServerProcess::log() const {
    return contentsOf(m_home.filePath(QStringLiteral("server.log")));
}

long ServerProcess::residentKilobytes() const {
    const auto match =
        QRegularExpression(QStringLiteral("VmRSS:\\s+(\\d+) kB"))
            .match(QString::fromUtf8(contentsOf(QStringLiteral("/proc/%1/status").arg(processId()))));
    return match.hasMatch() ? match.captured(1).toLong() : -1;
}

std::unique_ptr<httplib::Client> ServerProcess::client() const {
    auto client = std::make_unique<httplib::Client>("127.0.0.1", m_port);
    client->set_read_timeout(60, 0);
    client->set_write_timeout(60, 0);
    return client;
}

httplib::Result ServerProcess::postAudio(const QByteArray& wav, const httplib::Headers& headers) const {
    httplib::Headers all = authorization();
    all.insert(headers.begin(), headers.end());
    return client()->Post("/v1/ptt/transcribe", all, wav.constData(), std::size_t(wav.size()), "audio/wav");
}

httplib::Result ServerProcess::postEdit(const std::string& json, const std::string& token) const {
    return client()->Post("/v1/ptt/edit",
                          {{"Authorization", "Bearer " + (token.empty() ? this->token() : token)}}, json,
                          "application/json");
}
