#include "platform/common/QtProcessLauncher.h"

#include "core/common/ErrorCode.h"
#include "core/common/PlatformError.h"

#include <QProcess>

#include <coroutine>
#include <memory>

namespace {

// Suspends until the process's state satisfies `done`. A program that cannot start only changes
// state (there is no started()), so waiting on a state covers both outcomes. The coroutine is
// resumed from the event loop, never inside the process's own signal, since it may destroy the
// process as soon as it runs.
class StateWait {
public:
    StateWait(QProcess& process, bool (*done)(QProcess::ProcessState))
        : m_process(process)
        , m_done(done) {}

    bool await_ready() const { return m_done(m_process.state()); }
    void await_suspend(std::coroutine_handle<> handle) {
        auto connection = std::make_shared<QMetaObject::Connection>();
        QProcess* process = &m_process;
        *connection = QObject::connect(process, &QProcess::stateChanged, process, [=, done = m_done] {
            if (done(process->state())) {
                QObject::disconnect(*connection);
                QMetaObject::invokeMethod(
                    process, [handle] { handle.resume(); }, Qt::QueuedConnection);
            }
        });
    }
    void await_resume() const {}

private:
    QProcess& m_process;
    bool (*m_done)(QProcess::ProcessState);
};

} // namespace

QCoro::Task<Result<int>> QtProcessLauncher::run(QString program, QStringList arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setProgram(program);
    process.setArguments(arguments);
    process.start();
    co_await StateWait(process, [](QProcess::ProcessState state) { return state != QProcess::Starting; });
    if (process.error() == QProcess::FailedToStart) {
        co_return makeError(PlatformError::cannotStart,
                            QStringLiteral("Could not start “%1”: %2").arg(program, process.errorString()));
    }
    co_await StateWait(process, [](QProcess::ProcessState state) { return state == QProcess::NotRunning; });
    if (process.exitStatus() == QProcess::CrashExit) {
        co_return makeError(PlatformError::crashed, QStringLiteral("“%1” crashed.").arg(program));
    }
    co_return process.exitCode();
}

Result<void> QtProcessLauncher::startDetached(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (!process.startDetached()) {
        return makeError(PlatformError::cannotStart,
                         QStringLiteral("Could not start “%1”: %2").arg(program, process.errorString()));
    }
    return {};
}
