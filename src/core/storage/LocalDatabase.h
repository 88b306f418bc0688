#pragma once

#include "core/common/Result.h"
#include "core/model/DictionaryEntry.h"
#include "core/model/PTTStatsSummary.h"
#include "core/model/PruningStatsSummary.h"
#include "core/model/SnippetEntry.h"
#include "core/model/TodayStats.h"
#include "core/storage/PruningRecord.h"
#include "core/storage/StatsRecord.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class Clock;
class SqliteStatement;
struct sqlite3;

// The application's SQLite database: dictionary, snippets, usage statistics, prompt-condensing
// statistics and a few application settings. Main thread only.
//
// Reads never fail: without a connection, or when a statement cannot be prepared, they answer
// empty results. Changes of the dictionary and snippets report their failures.
class LocalDatabase final {
public:
    enum class Access { readWrite, readOnly };

    // Rows are stamped with `clock`'s time. The file is not touched until bootstrap().
    explicit LocalDatabase(const Clock& clock, QString filePath = defaultFilePath(),
                           Access access = Access::readWrite);
    ~LocalDatabase();
    LocalDatabase(const LocalDatabase&) = delete;
    LocalDatabase& operator=(const LocalDatabase&) = delete;

    static QString defaultFilePath();

    // Opens the file (creating it and its folder when writable) and runs the idempotent schema.
    // A read-only database is opened as it is and must exist.
    Result<void> bootstrap();

    bool isOpen() const { return m_connection != nullptr; }
    QString filePath() const { return m_filePath; }

    // Grows with every successful change of the dictionary or the snippets, so callers that keep
    // derived data (compiled patterns) know when to rebuild it.
    quint64 personalizationRevision() const { return m_personalizationRevision; }

    std::vector<DictionaryEntry> fetchDictionaryEntries() const;
    std::vector<SnippetEntry> fetchSnippets() const;

    // An entry whose `wrong` equals an existing one ignoring case replaces its correction.
    Result<void> saveDictionaryEntry(const QString& wrong, const QString& correct, bool wholeWord);
    Result<void> deleteDictionaryEntry(qint64 id);
    // A snippet whose trigger equals an existing one ignoring case replaces its body.
    Result<void> saveSnippet(const QString& trigger, const QString& body);
    Result<void> deleteSnippet(qint64 id);

    PTTStatsSummary fetchStatsSummary() const;
    std::optional<QString> fetchTopLanguage() const;
    // The user's local day, as the clock and the process time zone see it.
    TodayStats fetchTodayStats() const;
    // Rows created at or after `since`; all rows without it.
    PruningStatsSummary fetchPruningStats(const std::optional<QDateTime>& since = std::nullopt) const;

    // These never interrupt a dictation: a failure (the file busy past the time-out, a full disk)
    // is kept for takeWriteError() instead.
    void saveSetting(const QString& key, const QString& value);
    std::optional<QString> fetchSetting(const QString& key) const;
    void insertStats(const StatsRecord& record);
    void insertPruningStats(const PruningRecord& record);
    // The first of those failures since the last call, so that each is told once.
    std::optional<PTTError> takeWriteError();

    // The text form of every stored moment: UTC, "YYYY-MM-DD HH:MM:SS".
    static QString sqliteTimestamp(const QDateTime& moment);

private:
    Result<void> runChange(const char* sql, const char* prepareFailureMessage,
                           const std::function<void(SqliteStatement&)>& bind);
    // Runs a prepared write whose failure must not interrupt anything; keeps the failure.
    void keepWriteOutcome(SqliteStatement& statement, const char* what);
    QString now() const;

    const Clock& m_clock;
    QString m_filePath;
    Access m_access;
    sqlite3* m_connection = nullptr;
    quint64 m_personalizationRevision = 0;
    std::optional<PTTError> m_writeError;
};
