#pragma once

#include "core/common/ErrorCode.h"
#include "core/common/PlatformError.h"
#include "core/ports/ProcessLauncher.h"

// Starts nothing: every program fails to start.
class NullProcessLauncher final : public ProcessLauncher {
public:
    QCoro::Task<Result<int>> run(QString program, QStringList) override { co_return refusal(program); }
    Result<void> startDetached(const QString& program, const QStringList&) override {
        return refusal(program);
    }

private:
    static PTTError refusal(const QString& program) {
        return makeError(PlatformError::cannotLaunchHere,
                         QStringLiteral("Cannot start %1 on this desktop").arg(program));
    }
};
