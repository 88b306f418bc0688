#pragma once

#include "common/Result.h"

#include <QCoroTask>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

class IBackendClient;
class ProcessLauncher;
class Scheduler;

// Makes sure the service of this machine answers: when the configured service is on loopback and
// nothing listens there, starts the `orlavo-server` installed beside the application and waits,
// for a bounded time, until it answers its health check. A service elsewhere is only asked.
class LocalServiceStarter final {
    Q_DISABLE_COPY_MOVE(LocalServiceStarter)

public:
    struct Options {
        // The service program; absent or not executable: nothing is started.
        QString serverProgram;
        // The service loads its recogniser before it answers (about 0.3 s here); slow disks take longer.
        double startTimeoutSeconds = 15;
        double pollIntervalSeconds = 0.25;
    };

    // `backendBaseURL` is the configured base URL, read at each call.
    LocalServiceStarter(IBackendClient& backend, ProcessLauncher& launcher, Scheduler& scheduler,
                        std::function<QString()> backendBaseURL, Options options);

    // Success once the service answers; otherwise the error of the last health check.
    QCoro::Task<Result<void>> ensureRunning();

    // `orlavo-server` in the folder of the running program.
    static QString programBesideApplication();
    // The --listen argument that makes a started service answer at `url`; absent when the URL is
    // not on this machine.
    static std::optional<QString> listenAddressFor(const QUrl& url);

private:
    QCoro::Task<Result<void>> waitForHealth();

    IBackendClient& m_backend;
    ProcessLauncher& m_launcher;
    Scheduler& m_scheduler;
    std::function<QString()> m_backendBaseURL;
    Options m_options;
    // A second caller during a start waits for that start instead of launching another service.
    bool m_starting = false;
};
