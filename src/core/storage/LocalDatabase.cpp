#include "core/storage/LocalDatabase.h"

#include "core/common/ErrorCode.h"
#include "core/common/FileError.h"
#include "core/paths/AppPaths.h"
#include "core/ports/Clock.h"
#include "core/storage/DatabaseError.h"
#include "core/storage/DatabaseSchema.h"
#include "core/storage/SqliteStatement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

LocalDatabase::LocalDatabase(const Clock& clock, QString filePath, Access access)
    : m_clock(clock)
    , m_filePath(std::move(filePath))
    , m_access(access) {}

LocalDatabase::~LocalDatabase() {
    sqlite3_close(m_connection);
}

QString LocalDatabase::defaultFilePath() {
    return AppPaths::databaseFile();
}

QString LocalDatabase::sqliteTimestamp(const QDateTime& moment) {
    return moment.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString LocalDatabase::now() const {
    return sqliteTimestamp(m_clock.now());
}

Result<void> LocalDatabase::bootstrap() {
    if (m_connection) {
        sqlite3_close(m_connection);
        m_connection = nullptr;
    }
    const bool writable = m_access == Access::readWrite;
    if (writable) {
        const QDir folder = QFileInfo(m_filePath).absoluteDir();
        if (!folder.exists() && !QDir().mkpath(folder.path())) {
            return makeError(FileError::writeNoPermission,
                             QStringLiteral("The folder “%1” could not be created.").arg(folder.path()));
        }
    }

    if (writable) {
        // The file holds what the user dictated: theirs alone from the first byte. SQLite gives
        // its journal and WAL files the same mode.
        const QByteArray path = QFile::encodeName(m_filePath);
        const int descriptor = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (descriptor >= 0) {
            ::fchmod(descriptor, 0600);
            ::close(descriptor);
        }
    }
    sqlite3* connection = nullptr;
    const int flags = writable ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
    if (sqlite3_open_v2(QFile::encodeName(m_filePath).constData(), &connection, flags, nullptr) !=
        SQLITE_OK) {
        // A handle is allocated even when opening fails; it must still be closed.
        sqlite3_close(connection);
        return makeError(DatabaseError::cannotOpen,
                         QStringLiteral("Unable to open SQLite database at ") + m_filePath);
    }
    m_connection = connection;
    // The app and `orlavo text` may use the file at the same moment.
    sqlite3_busy_timeout(m_connection, 2000);

    if (!writable) {
        // A read-only open is lazy: make sure the file really is a database with our tables.
        SqliteStatement probe(m_connection, "SELECT COUNT(*) FROM voice_dictionary");
        if (!probe.isPrepared()) {
            const QString message = QString::fromUtf8(sqlite3_errmsg(m_connection));
            return makeError(DatabaseError::schemaFailed, message);
        }
        return {};
    }
    if (sqlite3_exec(m_connection, DatabaseSchema::script, nullptr, nullptr, nullptr) != SQLITE_OK) {
        return makeError(DatabaseError::schemaFailed, QString::fromUtf8(sqlite3_errmsg(m_connection)));
    }
    return {};
}

std::vector<DictionaryEntry> LocalDatabase::fetchDictionaryEntries() const {
    std::vector<DictionaryEntry> entries;
    SqliteStatement statement(m_connection,
                              "SELECT id, wrong, correct, whole_word FROM voice_dictionary ORDER BY wrong");
    if (!statement.isPrepared()) {
        return entries;
    }
    while (statement.step() == SQLITE_ROW) {
        entries.push_back(
            DictionaryEntry{statement.columnInt64(0), statement.columnText(1).value_or(QString()),
                            statement.columnText(2).value_or(QString()), statement.columnInt64(3) == 1});
    }
    return entries;
}

std::vector<SnippetEntry> LocalDatabase::fetchSnippets() const {
    std::vector<SnippetEntry> snippets;
    SqliteStatement statement(m_connection, "SELECT id, trigger, body FROM voice_snippets ORDER BY trigger");
    if (!statement.isPrepared()) {
        return snippets;
    }
    while (statement.step() == SQLITE_ROW) {
        snippets.push_back(SnippetEntry{statement.columnInt64(0), statement.columnText(1).value_or(QString()),
                                        statement.columnText(2).value_or(QString())});
    }
    return snippets;
}

Result<void> LocalDatabase::runChange(const char* sql, const char* prepareFailureMessage,
                                      const std::function<void(SqliteStatement&)>& bind) {
    SqliteStatement statement(m_connection, sql);
    if (!statement.isPrepared()) {
        return makeError(DatabaseError::cannotPrepare, QString::fromUtf8(prepareFailureMessage));
    }
    bind(statement);
    if (statement.step() != SQLITE_DONE) {
        const QString message = m_connection ? QString::fromUtf8(sqlite3_errmsg(m_connection))
                                             : QStringLiteral("Unknown SQLite error");
        return makeError(DatabaseError::changeFailed, message);
    }
    ++m_personalizationRevision;
    return {};
}

Result<void> LocalDatabase::saveDictionaryEntry(const QString& wrong, const QString& correct,
                                                bool wholeWord) {
    return runChange("INSERT INTO voice_dictionary (wrong, correct, whole_word)\n"
                     "VALUES (?, ?, ?)\n"
                     "ON CONFLICT(wrong) DO UPDATE SET\n"
                     "  correct = excluded.correct,\n"
                     "  whole_word = excluded.whole_word",
                     "Could not prepare dictionary save statement", [&](SqliteStatement& statement) {
                         statement.bindText(1, wrong);
                         statement.bindText(2, correct);
                         statement.bindInt64(3, wholeWord ? 1 : 0);
                     });
}

Result<void> LocalDatabase::deleteDictionaryEntry(qint64 id) {
    return runChange("DELETE FROM voice_dictionary WHERE id = ?",
                     "Could not prepare dictionary delete statement",
                     [&](SqliteStatement& statement) { statement.bindInt64(1, id); });
}

Result<void> LocalDatabase::saveSnippet(const QString& trigger, const QString& body) {
    return runChange("INSERT INTO voice_snippets (trigger, body)\n"
                     "VALUES (?, ?)\n"
                     "ON CONFLICT(trigger) DO UPDATE SET body = excluded.body",
                     "Could not prepare snippet save statement", [&](SqliteStatement& statement) {
                         statement.bindText(1, trigger);
                         statement.bindText(2, body);
                     });
}

Result<void> LocalDatabase::deleteSnippet(qint64 id) {
    return runChange("DELETE FROM voice_snippets WHERE id = ?", "Could not prepare snippet delete statement",
                     [&](SqliteStatement& statement) { statement.bindInt64(1, id); });
}

PTTStatsSummary LocalDatabase::fetchStatsSummary() const {
    SqliteStatement statement(m_connection, "SELECT\n"
                                            "  COUNT(*) as sessions,\n"
                                            "  COALESCE(SUM(words), 0) as total_words,\n"
                                            "  COALESCE(SUM(duration_ms), 0) as total_duration,\n"
                                            "  COALESCE(SUM(backtrack), 0) as total_backtracks\n"
                                            "FROM ptt_stats");
    if (!statement.isPrepared() || statement.step() != SQLITE_ROW) {
        return {};
    }
    PTTStatsSummary summary{statement.columnInt64(0), statement.columnInt64(1), statement.columnInt64(2),
                            statement.columnInt64(3), std::nullopt};
    summary.topLanguage = fetchTopLanguage();
    return summary;
}

std::optional<QString> LocalDatabase::fetchTopLanguage() const {
    SqliteStatement statement(m_connection, "SELECT language\n"
                                            "FROM ptt_stats\n"
                                            "WHERE language IS NOT NULL AND language != ''\n"
                                            "GROUP BY language\n"
                                            "ORDER BY COUNT(*) DESC\n"
                                            "LIMIT 1");
    if (!statement.isPrepared() || statement.step() != SQLITE_ROW) {
        return std::nullopt;
    }
    return statement.columnText(0);
}

TodayStats LocalDatabase::fetchTodayStats() const {
    // Rows are stored in UTC; "today" is the user's local day.
    SqliteStatement statement(m_connection,
                              "SELECT COUNT(*), COALESCE(SUM(words), 0), COALESCE(SUM(duration_ms), 0)\n"
                              "FROM ptt_stats\n"
                              "WHERE date(created_at, 'localtime') = date(?, 'localtime')");
    if (!statement.isPrepared()) {
        return {};
    }
    statement.bindText(1, now());
    if (statement.step() != SQLITE_ROW) {
        return {};
    }
    return TodayStats{statement.columnInt64(0), statement.columnInt64(1), statement.columnInt64(2)};
}

PruningStatsSummary LocalDatabase::fetchPruningStats(const std::optional<QDateTime>& since) const {
    QByteArray sql = "SELECT\n"
                     "  COUNT(*),\n"
                     "  COALESCE(SUM(original_words), 0),\n"
                     "  COALESCE(SUM(pruned_words), 0),\n"
                     "  COALESCE(SUM(original_chars), 0),\n"
                     "  COALESCE(SUM(pruned_chars), 0)\n"
                     "FROM pruning_stats";
    if (since) {
        sql += " WHERE created_at >= ?";
    }
    SqliteStatement statement(m_connection, sql.constData());
    if (!statement.isPrepared()) {
        return {};
    }
    if (since) {
        statement.bindText(1, sqliteTimestamp(*since));
    }
    if (statement.step() != SQLITE_ROW) {
        return {};
    }
    return PruningStatsSummary{statement.columnInt64(0), statement.columnInt64(1), statement.columnInt64(2),
                               statement.columnInt64(3), statement.columnInt64(4)};
}

void LocalDatabase::saveSetting(const QString& key, const QString& value) {
    SqliteStatement statement(m_connection, "INSERT INTO app_settings (key, value, updated_at)\n"
                                            "VALUES (?, ?, ?)\n"
                                            "ON CONFLICT(key) DO UPDATE SET value = excluded.value, "
                                            "updated_at = excluded.updated_at");
    statement.bindText(1, key);
    statement.bindText(2, value);
    statement.bindText(3, now());
    keepWriteOutcome(statement, "The setting could not be saved: ");
}

std::optional<QString> LocalDatabase::fetchSetting(const QString& key) const {
    SqliteStatement statement(m_connection, "SELECT value FROM app_settings WHERE key = ?");
    if (!statement.isPrepared()) {
        return std::nullopt;
    }
    statement.bindText(1, key);
    if (statement.step() != SQLITE_ROW) {
        return std::nullopt;
    }
    return statement.columnText(0);
}

void LocalDatabase::insertStats(const StatsRecord& record) {
    SqliteStatement statement(
        m_connection,
        "INSERT INTO ptt_stats (words, chars, duration_ms, language, mode, backtrack, created_at)\n"
        "VALUES (?, ?, ?, ?, ?, ?, ?)");
    statement.bindInt64(1, record.words);
    statement.bindInt64(2, record.chars);
    statement.bindInt64(3, record.durationMs);
    statement.bindOptionalText(4, record.language);
    statement.bindText(5, record.mode);
    statement.bindInt64(6, record.backtrack ? 1 : 0);
    statement.bindText(7, now());
    keepWriteOutcome(statement, "The statistics could not be saved: ");
}

void LocalDatabase::insertPruningStats(const PruningRecord& record) {
    SqliteStatement statement(
        m_connection,
        "INSERT INTO pruning_stats (original_words, pruned_words, original_chars, pruned_chars, "
        "prune_level, target_model, created_at)\n"
        "VALUES (?, ?, ?, ?, ?, ?, ?)");
    statement.bindInt64(1, record.originalWords);
    statement.bindInt64(2, record.prunedWords);
    statement.bindInt64(3, record.originalChars);
    statement.bindInt64(4, record.prunedChars);
    statement.bindText(5, record.pruneLevel);
    statement.bindText(6, record.targetModel);
    statement.bindText(7, now());
    keepWriteOutcome(statement, "The statistics could not be saved: ");
}

void LocalDatabase::keepWriteOutcome(SqliteStatement& statement, const char* what) {
    // A database that never opened was reported when it failed to; that is not told per row.
    if (statement.step() == SQLITE_DONE || m_writeError || !m_connection) {
        return;
    }
    const QString reason = QString::fromUtf8(sqlite3_errmsg(m_connection));
    m_writeError = makeError(DatabaseError::changeFailed, QString::fromUtf8(what) + reason);
}

std::optional<PTTError> LocalDatabase::takeWriteError() {
    return std::exchange(m_writeError, std::nullopt);
}
