#include "core/backend/LocalServiceStarter.h"

#include "OrlavoVersion.h"
#include "core/backend/BackendUrl.h"
#include "core/backend/IBackendClient.h"
#include "core/common/ErrorCode.h"
#include "core/common/ErrorDomain.h"
#include "core/common/PlatformError.h"
#include "core/ports/ProcessLauncher.h"
#include "core/ports/Scheduler.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

PTTError notStarted(const QString& why) {
    return makeError(PlatformError::cannotStart,
                     QStringLiteral("Orlavo's service is not running and could not be started: %1").arg(why));
}

QString systemctlProgram() {
    return QStringLiteral("systemctl");
}

// --no-block: a busy manager never holds the app up; the wait for an answer is what is bounded.
QStringList systemctlStart(const QString& unit) {
    return {QStringLiteral("--user"), QStringLiteral("--no-block"), QStringLiteral("start"), unit};
}

QString systemctlRefused(const QString& unit) {
    return QStringLiteral("systemctl could not start %1").arg(unit);
}

QString notInstalled() {
    return QStringLiteral("orlavo-server is not installed");
}

PTTError unitDidNotAnswer(const QString& unit, double seconds) {
    return notStarted(
        QStringLiteral("the user service %1 did not answer within %2 seconds (journalctl --user -u %1 "
                       "says why)")
            .arg(unit)
            .arg(seconds));
}

PTTError programDidNotAnswer(const QString& program, double seconds) {
    return notStarted(QStringLiteral("%1 did not answer within %2 seconds").arg(program).arg(seconds));
}

QString executableIn(const QString& directory) {
    const QFileInfo program(directory + QStringLiteral("/orlavo-server"));
    return program.isFile() && program.isExecutable() ? program.absoluteFilePath() : QString();
}

} // namespace

LocalServiceStarter::Options LocalServiceStarter::Options::forThisProcess() {
    Options options;
    options.unitName = QStringLiteral(ORLAVO_SERVICE_UNIT);
    options.serverProgram = qEnvironmentVariable("ORLAVO_SERVER_PROGRAM");
    if (options.serverProgram.isEmpty()) {
        const QString here = QCoreApplication::applicationDirPath();
        options.serverProgram = executableIn(here);
        if (options.serverProgram.isEmpty()) {
            options.serverProgram = executableIn(here + QStringLiteral("/../server"));
        }
    }
    // The user manager's private socket exists exactly while it runs.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    options.userSystemd =
        !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/systemd/private"));
    return options;
}

LocalServiceStarter::LocalServiceStarter(IBackendClient& backend, ProcessLauncher& launcher,
                                         Scheduler& scheduler, std::function<QString()> backendBaseURL,
                                         Options options)
    : m_backend(backend)
    , m_launcher(launcher)
    , m_scheduler(scheduler)
    , m_backendBaseURL(std::move(backendBaseURL))
    , m_options(std::move(options)) {}

LocalServiceStarter::~LocalServiceStarter() {
    *m_alive = false;
}

QCoro::Task<Result<void>> LocalServiceStarter::ensureRunning() {
    const auto url = BackendUrl::join(m_backendBaseURL(), BackendUrl::healthPath);
    if (!url || !BackendUrl::isLoopback(*url)) {
        co_return Result<void>{};
    }
    const std::shared_ptr<bool> alive = m_alive;
    const auto health = co_await m_backend.health();
    if (!*alive || health.ok()) {
        co_return Result<void>{};
    }
    // Something answered, just not as the service does: starting another would only fail to
    // take the port, and the controller's own health check tells the user.
    if (health.error().domain != ErrorDomain::network) {
        co_return Result<void>{};
    }
    co_return co_await start();
}

QCoro::Task<Result<void>> LocalServiceStarter::start() {
    const std::shared_ptr<bool> alive = m_alive;
    QString systemdProblem;
    if (m_options.userSystemd && !m_options.unitName.isEmpty()) {
        const auto started = co_await m_launcher.run(systemctlProgram(), systemctlStart(m_options.unitName));
        if (!*alive) {
            co_return Result<void>{};
        }
        if (started.ok() && started.value() == 0) {
            if (co_await waitUntilAnswering()) {
                co_return Result<void>{};
            }
            co_return unitDidNotAnswer(m_options.unitName, m_options.startTimeoutSeconds);
        }
        // Not installed (a build folder) or refused: the program itself may still do.
        systemdProblem = started.ok() ? systemctlRefused(m_options.unitName) : started.error().description;
    }
    if (m_options.serverProgram.isEmpty()) {
        co_return notStarted(systemdProblem.isEmpty() ? notInstalled() : systemdProblem);
    }
    if (const auto launched = m_launcher.startDetached(m_options.serverProgram, {}); !launched) {
        co_return notStarted(launched.error().description);
    }
    if (co_await waitUntilAnswering()) {
        co_return Result<void>{};
    }
    co_return programDidNotAnswer(m_options.serverProgram, m_options.startTimeoutSeconds);
}

QCoro::Task<bool> LocalServiceStarter::waitUntilAnswering() {
    const std::shared_ptr<bool> alive = m_alive;
    const double deadline = m_scheduler.clock().monotonicSeconds() + m_options.startTimeoutSeconds;
    while (*alive && m_scheduler.clock().monotonicSeconds() < deadline) {
        co_await m_scheduler.sleep(m_options.pollIntervalSeconds);
        if (!*alive) {
            co_return false;
        }
        if ((co_await m_backend.health()).ok()) {
            co_return true;
        }
    }
    co_return false;
}
