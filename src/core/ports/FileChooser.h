#pragma once

#include <QCoroTask>
#include <QString>
#include <QStringList>

#include <optional>

struct SaveFileRequest {
    QString title;
    QString message;
    QString proposedFileName;
    QString directory;       // empty: the chooser's default
    QStringList nameFilters; // e.g. "Markdown (*.md)"; empty: any file
};

// Asks the user for a file. Completes with the chosen absolute path, or absent when cancelled.
class FileChooser {
public:
    virtual ~FileChooser() = default;

    virtual QCoro::Task<std::optional<QString>> chooseSaveFile(SaveFileRequest request) = 0;
};
