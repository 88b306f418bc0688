#include "core/storage/SqliteStatement.h"

#include <sqlite3.h>

SqliteStatement::SqliteStatement(sqlite3* connection, const char* sql) {
    if (connection && sqlite3_prepare_v2(connection, sql, -1, &m_statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
    }
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(m_statement);
}

void SqliteStatement::bindText(int index, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(m_statement, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

void SqliteStatement::bindOptionalText(int index, const std::optional<QString>& text) {
    if (text) {
        bindText(index, *text);
    } else {
        sqlite3_bind_null(m_statement, index);
    }
}

void SqliteStatement::bindInt64(int index, qint64 value) {
    sqlite3_bind_int64(m_statement, index, value);
}

int SqliteStatement::step() {
    return m_statement ? sqlite3_step(m_statement) : SQLITE_MISUSE;
}

qint64 SqliteStatement::columnInt64(int column) const {
    return sqlite3_column_int64(m_statement, column);
}

std::optional<QString> SqliteStatement::columnText(int column) const {
    if (sqlite3_column_type(m_statement, column) == SQLITE_NULL) {
        return std::nullopt;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    const int length = sqlite3_column_bytes(m_statement, column);
    return QString::fromUtf8(text, length);
}
