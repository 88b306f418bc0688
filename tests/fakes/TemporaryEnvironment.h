#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QTemporaryDir>

#include <optional>

// A temporary home for one test: XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_DOCUMENTS_DIR point into
// a fresh directory, restored (and the directory removed) on destruction.
class TemporaryEnvironment final {
public:
    TemporaryEnvironment();
    ~TemporaryEnvironment();
    TemporaryEnvironment(const TemporaryEnvironment&) = delete;
    TemporaryEnvironment& operator=(const TemporaryEnvironment&) = delete;

    QString path() const { return m_directory.path(); }
    QString filePath(const QString& name) const { return m_directory.filePath(name); }

    // Sets a variable for the lifetime of this object (TZ takes effect at once).
    void set(const char* name, const QByteArray& value);

    // Writes `bytes` to `name` (relative to this directory, or absolute), making its folders;
    // returns the file's path.
    QString write(const QString& name, const QByteArray& bytes) const;
    // The bytes of the file at `path`; "<unreadable>" when it cannot be read.
    static QByteArray read(const QString& path);

private:
    QTemporaryDir m_directory;
    QList<QPair<QByteArray, std::optional<QByteArray>>> m_saved;
};
