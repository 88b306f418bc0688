#include "LinuxProcessLauncher.h"

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
    auto coProcess = qCoro(process);
    if (!co_await coProcess.start(program, arguments)) {
        co_return startError(program, process.errorString());
    }
    co_await coProcess.waitForFinished(-1);
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
