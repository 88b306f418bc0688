#pragma once

#include "core/common/Result.h"

#include <QCoroTask>
#include <QString>
#include <QStringList>

// Starts other programs.
class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;

    // Runs the program to its end and answers its exit status; an error when it cannot start.
    virtual QCoro::Task<Result<int>> run(QString program, QStringList arguments) = 0;

    // Starts the program and does not wait for it; an error when it cannot start.
    virtual Result<void> startDetached(const QString& program, const QStringList& arguments) = 0;
};
