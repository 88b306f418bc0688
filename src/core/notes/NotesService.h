#pragma once

#include "core/notes/INotesService.h"

#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <memory>
#include <unicode/uversion.h>

class Clock;

U_NAMESPACE_BEGIN
class DateFormat;
U_NAMESPACE_END

// Appends dictated notes to a Markdown journal: a title, one "## <date>" heading per day and one
// "- **HH:mm** — text" line per note.
//
// Appends are made under an exclusive lock on the file, so two processes writing at once both land
// whole, and a failed write is rolled back: the file holds the old text or the old text plus the
// whole entry, never a part of it.
class NotesService final : public INotesService {
public:
    static inline const QString title = QStringLiteral(u"# PTT Voice Notes\n\n");
    static inline const QString defaultFileName = QStringLiteral(u"PTT-Notes.md");

    // Entries are stamped with `clock`'s time, in the user's locale (LC_ALL, LC_TIME, LANG) and time
    // zone. `localeName` (an ICU locale id such as "es_ES") and `timeZoneId` ("Europe/Madrid")
    // replace those when given.
    explicit NotesService(const Clock& clock, const QString& localeName = {}, const QString& timeZoneId = {});
    ~NotesService() override;
    Q_DISABLE_COPY_MOVE(NotesService)

    Result<NoteSaveResult> saveNote(const QString& text,
                                    const std::optional<QByteArray>& bookmarkData) override;
    // Creates the documents folder when it is missing.
    Result<QString> defaultNotesPath() const override;

    // "## " and the moment's day as a localized long date with weekday ("## Thursday, January 15, 2026").
    QString dayHeading(const QDateTime& moment) const;
    // The moment's time of day, 24-hour, in the locale's form ("14:05").
    QString timeOfDay(const QDateTime& moment) const;

    // The ICU locale id of the user's time formats, from the POSIX locale variables.
    static QString userLocaleName();

private:
    const Clock& m_clock;
    std::unique_ptr<icu::DateFormat> m_dayFormat;
    std::unique_ptr<icu::DateFormat> m_timeFormat;
};
