#include "LocalServiceStarter.h"

#include "BackendUrl.h"
#include "IBackendClient.h"
#include "common/ErrorDomain.h"
#include "net/NetworkError.h"
#include "ports/ProcessLauncher.h"
#include "ports/Scheduler.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHostAddress>

#include <algorithm>
#include <cmath>

namespace {

// Only a refused connection means that nothing listens; a service that answers badly or hangs
// holds the port, and a second one could not bind it.
bool nothingListens(const PTTError& error) {
    return error.domain == ErrorDomain::network && error.code == NetworkError::cannotConnectToHost;
}

} // namespace

LocalServiceStarter::LocalServiceStarter(IBackendClient& backend, ProcessLauncher& launcher,
                                         Scheduler& scheduler, std::function<QString()> backendBaseURL,
                                         Options options)
    : m_backend(backend)
    , m_launcher(launcher)
    , m_scheduler(scheduler)
    , m_backendBaseURL(std::move(backendBaseURL))
    , m_options(std::move(options)) {}

QString LocalServiceStarter::programBesideApplication() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("orlavo-server"));
}

std::optional<QString> LocalServiceStarter::listenAddressFor(const QUrl& url) {
    if (!BackendUrl::isLoopback(url)) {
        return std::nullopt;
    }
    const int port = url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
    const QHostAddress host(url.host());
    if (host.protocol() == QAbstractSocket::IPv6Protocol) {
        return QStringLiteral("[%1]:%2").arg(host.toString()).arg(port);
    }
    // "localhost" resolves to 127.0.0.1 first everywhere this runs.
    return QStringLiteral("127.0.0.1:%1").arg(port);
}

QCoro::Task<Result<void>> LocalServiceStarter::ensureRunning() {
    if (m_starting) {
        co_return co_await waitForHealth();
    }
    const auto first = co_await m_backend.health();
    if (first.ok()) {
        co_return Result<void>::success();
    }
    const QString base = m_backendBaseURL ? m_backendBaseURL() : QString();
    const auto url = BackendUrl::join(base, BackendUrl::healthPath);
    const std::optional<QString> listen = url ? listenAddressFor(*url) : std::nullopt;
    const QFileInfo program(m_options.serverProgram);
    if (!nothingListens(first.error()) || !listen || !program.isFile() || !program.isExecutable()) {
        co_return first.error();
    }
    if (const auto started =
            m_launcher.startDetached(program.absoluteFilePath(), {QStringLiteral("--listen"), *listen});
        !started) {
        co_return first.error();
    }
    m_starting = true;
    auto answered = co_await waitForHealth();
    m_starting = false;
    co_return answered;
}

QCoro::Task<Result<void>> LocalServiceStarter::waitForHealth() {
    const int attempts = std::max(
        1, static_cast<int>(std::ceil(m_options.startTimeoutSeconds / m_options.pollIntervalSeconds)));
    std::optional<PTTError> last;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        co_await m_scheduler.sleep(m_options.pollIntervalSeconds);
        const auto answer = co_await m_backend.health();
        if (answer.ok()) {
            co_return Result<void>::success();
        }
        last = answer.error();
    }
    co_return *last;
}
