#pragma once

#include "ServiceCallLog.h"
#include "core/ports/ProcessLauncher.h"

#include <QList>

// Records the programs it is asked to start ("process:PROGRAM" in the log); starts nothing. Set
// `failStarts` to make every start fail, and `exitStatus` for what run() answers.
class FakeProcessLauncher final : public ProcessLauncher {
public:
    struct Call {
        QString program;
        QStringList arguments;
        bool detached = false;
    };

    QCoro::Task<Result<int>> run(QString program, QStringList arguments) override;
    Result<void> startDetached(const QString& program, const QStringList& arguments) override;

    QList<Call> calls;
    bool failStarts = false;
    int exitStatus = 0;
    ServiceCallLog* log = nullptr;

private:
    Result<void> record(const QString& program, const QStringList& arguments, bool detached);
};
