#include "LinuxProcessLauncher.h"

#include "async/PendingValue.h"
#include "common/ErrorDomain.h"

#include <QCoroProcess>
#include <QProcess>

namespace {

PTTError startError(const QString& program, const QString& reason) {
    return PTTError{ErrorDomain::platform, 2, QStringLiteral("Cannot start %1: %2").arg(program, reason)};
}

} // namespace

QCoro::Task<Result<int>> LinuxProcessLauncher::run(QString program, QStringList arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    // A program that cannot start reports it through errorOccurred only, which waiting for
    // `started` alone misses. Queued, so that we never resume (and end, destroying the process)
    // inside QProcess's own signal.
    PendingValue<bool> started;
    QObject::connect(
        &process, &QProcess::started, &process, [started]() mutable { started.set(true); },
        Qt::QueuedConnection);
    QObject::connect(
        &process, &QProcess::errorOccurred, &process,
        [started](QProcess::ProcessError error) mutable {
            if (error == QProcess::FailedToStart) {
                started.set(false);
            }
        },
        Qt::QueuedConnection);
    process.start(program, arguments);
    if (!co_await started) {
        co_return startError(program, process.errorString());
    }
    co_await qCoro(process).waitForFinished(-1);
    if (process.exitStatus() == QProcess::CrashExit) {
        co_return PTTError{ErrorDomain::platform, 3, QStringLiteral("%1 crashed").arg(program)};
    }
    co_return process.exitCode();
}

Result<void> LinuxProcessLauncher::startDetached(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached()) {
        return startError(program, process.errorString());
    }
    return Result<void>::success();
}
