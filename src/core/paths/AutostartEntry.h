#pragma once

#include "core/common/Result.h"

#include <QObject>
#include <QString>

// "Start Orlavo at login": an XDG autostart entry, $XDG_CONFIG_HOME/autostart/<app id>.desktop,
// that runs this executable. On while the file exists and is not hidden; turning it off removes
// the file. Off by default (no file). A change that cannot be made keeps the old state and says
// why in lastError.
class AutostartEntry final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool enabled READ isEnabled WRITE setEnabled NOTIFY enabledChanged)
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)

public:
    AutostartEntry(QString filePath, QString executable, QObject* parent = nullptr);

    // $XDG_CONFIG_HOME/autostart/<app id>.desktop (XDG_CONFIG_HOME counts only when absolute).
    static QString defaultFilePath();

    bool isEnabled() const;
    void setEnabled(bool enabled);
    QString lastError() const { return m_lastError; }

    // The Exec value that runs `program` with no arguments, quoted and escaped as desktop entries
    // require; an error for a path no desktop entry can hold (a line break).
    static Result<QString> execValue(const QString& program);

Q_SIGNALS:
    void enabledChanged();
    void lastErrorChanged();

private:
    Result<void> write() const;
    Result<void> remove() const;
    void setLastError(const QString& error);

    QString m_filePath;
    QString m_executable;
    QString m_lastError;
};
