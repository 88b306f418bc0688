#pragma once

#include "ServiceCallLog.h"
#include "ports/ProcessLauncher.h"

// Records the programs run; each exits with status 0.
class StubProcessLauncher final : public ProcessLauncher {
public:
    QCoro::Task<Result<int>> run(QString program, QStringList) override {
        logCall(log, QStringLiteral("process:") + program);
        co_return 0;
    }
    Result<void> startDetached(const QString& program, const QStringList&) override {
        logCall(log, QStringLiteral("process:") + program);
        return Result<void>::success();
    }

    ServiceCallLog* log = nullptr;
};
