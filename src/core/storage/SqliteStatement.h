#pragma once

#include <QString>

#include <optional>

struct sqlite3;
struct sqlite3_stmt;

// One prepared statement, finalised when it goes out of scope, whatever path leaves the scope.
// Parameters are numbered from 1; every text is copied by SQLite when bound.
class SqliteStatement final {
public:
    SqliteStatement(sqlite3* connection, const char* sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool isPrepared() const { return m_statement != nullptr; }

    void bindText(int index, const QString& text);
    void bindOptionalText(int index, const std::optional<QString>& text);
    void bindInt64(int index, qint64 value);

    // sqlite3_step's result code.
    int step();

    qint64 columnInt64(int column) const;
    // NULL reads as absent.
    std::optional<QString> columnText(int column) const;

private:
    sqlite3_stmt* m_statement = nullptr;
};
