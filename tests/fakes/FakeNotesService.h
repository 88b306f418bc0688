#pragma once

#include "ServiceCallLog.h"
#include "core/notes/INotesService.h"

#include <QStringList>

// A journal that only counts.
class FakeNotesService final : public INotesService {
public:
    Result<NoteSaveResult> saveNote(const QString& text, const std::optional<QByteArray>&) override {
        logCall(log, QStringLiteral("notes:save:") + text);
        if (saveError) {
            return *saveError;
        }
        saved.append(text);
        return NoteSaveResult{QUrl::fromLocalFile(filePath), static_cast<int>(saved.size())};
    }
    Result<QString> defaultNotesPath() const override { return filePath; }

    QString filePath = QStringLiteral("/home/user/Documents/PTT-Notes.md");
    std::optional<PTTError> saveError;
    QStringList saved;
    ServiceCallLog* log = nullptr;
};
