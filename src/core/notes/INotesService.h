#pragma once

#include "core/common/Result.h"
#include "core/model/NoteSaveResult.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The Markdown journal of notes mode.
class INotesService {
public:
    virtual ~INotesService() = default;

    // Appends one entry to the chosen file (a bookmark from FileBookmark), or to the default file.
    virtual Result<NoteSaveResult> saveNote(const QString& text,
                                            const std::optional<QByteArray>& bookmarkData) = 0;

    // The default journal: PTT-Notes.md in the documents folder.
    virtual Result<QString> defaultNotesPath() const = 0;
};
