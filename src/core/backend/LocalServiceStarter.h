#pragma once

#include "core/common/Result.h"

#include <QCoroTask>
#include <QString>

#include <functional>
#include <memory>

class IBackendClient;
class ProcessLauncher;
class Scheduler;

// Makes sure the service of this machine answers before the app needs it. When the backend is a
// loopback address and nothing answers there, starts the installed systemd user unit, or the
// orlavo-server program beside the app when there is no user session manager (or no unit), and
// waits a bounded time for it to answer. A backend on another machine is left alone.
class LocalServiceStarter {
public:
    struct Options {
        QString unitName;
        // The program started when systemd cannot start the unit; empty when there is none.
        QString serverProgram;
        // Whether a systemd user manager runs for this session.
        bool userSystemd = false;
        double startTimeoutSeconds = 15.0;
        double pollIntervalSeconds = 0.2;

        // The installed unit, orlavo-server beside this executable (or in the build tree's
        // server folder; ORLAVO_SERVER_PROGRAM names another), and the session's user manager.
        static Options forThisProcess();
    };

    LocalServiceStarter(IBackendClient& backend, ProcessLauncher& launcher, Scheduler& scheduler,
                        std::function<QString()> backendBaseURL, Options options);
    ~LocalServiceStarter();
    LocalServiceStarter(const LocalServiceStarter&) = delete;
    LocalServiceStarter& operator=(const LocalServiceStarter&) = delete;

    // Succeeds when the service answers (at once, or after starting it), something else answers
    // there (nothing to start), or the backend is not on this machine. The error says what was tried and why
    // it did not work.
    QCoro::Task<Result<void>> ensureRunning();

private:
    QCoro::Task<Result<void>> start();
    QCoro::Task<bool> waitUntilAnswering();

    IBackendClient& m_backend;
    ProcessLauncher& m_launcher;
    Scheduler& m_scheduler;
    std::function<QString()> m_backendBaseURL;
    Options m_options;
    // Suspended calls hold a copy; false once the starter is gone.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
