#pragma once

#include "core/ports/ProcessLauncher.h"

// Starts programs with QProcess. Their standard output and error go where ours go.
class QtProcessLauncher final : public ProcessLauncher {
public:
    QCoro::Task<Result<int>> run(QString program, QStringList arguments) override;
    Result<void> startDetached(const QString& program, const QStringList& arguments) override;
};
