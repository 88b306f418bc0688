#pragma once

#include "ServiceCallLog.h"
#include "ports/ProcessLauncher.h"

// Records the programs run; each exits with status 0.
class StubProcessLauncher final : public ProcessLauncher {
public:
    QCoro::Task<Result<int>> run(QString program, QStringList arguments) override {
        logCall(log, QStringLiteral("process:") + program);
        runs.append(program + QLatin1Char(' ') + arguments.join(QLatin1Char(' ')));
        co_return 0;
    }
    Result<void> startDetached(const QString& program, const QStringList&) override {
        runs.append(program);
        return Result<void>::success();
    }

    QStringList runs;
    ServiceCallLog* log = nullptr;
};
