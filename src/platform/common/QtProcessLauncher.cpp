#include "QtProcessLauncher.h"

#include "common/ErrorDomain.h"

#include <QCoroProcess>
#include <QCoroSignal>
#include <QProcess>

#include <chrono>

namespace {

enum LaunchErrorCode { notStarted = 1, crashed = 2 };

PTTError launchError(LaunchErrorCode code, const QString& description) {
    return PTTError{ErrorDomain::platform, code, description};
}

} // namespace

QCoro::Task<Result<int>> QtProcessLauncher::run(QString program, QStringList arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setProgram(program);
    process.setArguments(arguments);
    process.start();
    // Waiting for started() alone would sit out its whole time-out when the program cannot start:
    // that failure arrives as a change of state without started().
    while (process.state() == QProcess::Starting) {
        co_await qCoro(&process, &QProcess::stateChanged);
    }
    if (process.error() == QProcess::FailedToStart) {
        co_return launchError(notStarted,
                              QStringLiteral("Could not start “%1”: %2").arg(program, process.errorString()));
    }
    if (process.state() != QProcess::NotRunning) {
        co_await qCoro(process).waitForFinished(std::chrono::milliseconds(-1));
    }
    if (process.exitStatus() == QProcess::CrashExit) {
        co_return launchError(crashed, QStringLiteral("“%1” crashed.").arg(program));
    }
    co_return process.exitCode();
}

Result<void> QtProcessLauncher::startDetached(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (!process.startDetached()) {
        return launchError(notStarted,
                           QStringLiteral("Could not start “%1”: %2").arg(program, process.errorString()));
    }
    return {};
}
