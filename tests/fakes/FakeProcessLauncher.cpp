#include "FakeProcessLauncher.h"

#include "core/common/ErrorCode.h"
#include "core/common/PlatformError.h"

QCoro::Task<Result<int>> FakeProcessLauncher::run(QString program, QStringList arguments) {
    const Result<void> started = record(program, arguments, false);
    if (!started) {
        co_return started.error();
    }
    co_return exitStatus;
}

Result<void> FakeProcessLauncher::startDetached(const QString& program, const QStringList& arguments) {
    return record(program, arguments, true);
}

Result<void> FakeProcessLauncher::record(const QString& program, const QStringList& arguments,
                                         bool detached) {
    calls.append(Call{program, arguments, detached});
    logCall(log, QStringLiteral("process:") + program);
    if (failStarts) {
        return makeError(PlatformError::cannotStart, QStringLiteral("Could not start “%1”.").arg(program));
    }
    return Result<void>::success();
}
