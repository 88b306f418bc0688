#include "core/paths/AutostartEntry.h"

#include "OrlavoVersion.h"
#include "core/common/ErrorCode.h"
#include "core/common/FileError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace {

PTTError fileError(const QString& description) {
    return makeError(FileError::failed, description);
}

} // namespace

AutostartEntry::AutostartEntry(QString filePath, QString executable, QObject* parent)
    : QObject(parent)
    , m_filePath(std::move(filePath))
    , m_executable(std::move(executable)) {}

QString AutostartEntry::defaultFilePath() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config)) {
        config = QDir::homePath() + QStringLiteral("/.config");
    }
    return QDir::cleanPath(config) + QStringLiteral("/autostart/") + QStringLiteral(ORLAVO_APP_ID) +
           QStringLiteral(".desktop");
}

bool AutostartEntry::isEnabled() const {
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    // Desktops skip an entry that says Hidden=true, or that GNOME's own switch turned off.
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false") {
            return false;
        }
    }
    return true;
}

void AutostartEntry::setEnabled(bool enabled) {
    const bool was = isEnabled();
    const Result<void> changed = enabled ? write() : remove();
    setLastError(changed ? QString() : changed.error().description);
    if (isEnabled() != was) {
        emit enabledChanged();
    } else if (!changed) {
        // The view flipped its switch already: tell it the state it should show again.
        emit enabledChanged();
    }
}

Result<QString> AutostartEntry::execValue(const QString& program) {
    if (program.contains(QLatin1Char('\n')) || program.contains(QLatin1Char('\r'))) {
        return fileError(QStringLiteral("A program path with a line break cannot start at login."));
    }
    static const QString reserved = QStringLiteral(" \t\"'\\><~|&;$*?#()`");
    QString argument = program;
    argument.replace(QLatin1Char('%'), QStringLiteral("%%"));
    const bool quote = std::any_of(argument.begin(), argument.end(),
                                   [](QChar character) { return reserved.contains(character); });
    if (quote) {
        QString quoted;
        for (const QChar character : argument) {
            if (character == QLatin1Char('"') || character == QLatin1Char('`') ||
                character == QLatin1Char('$') || character == QLatin1Char('\\')) {
                quoted += QLatin1Char('\\');
            }
            quoted += character;
        }
        argument = QLatin1Char('"') + quoted + QLatin1Char('"');
    }
    // The Exec key is a string value too: its backslashes are escaped once more.
    argument.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return argument;
}

Result<void> AutostartEntry::write() const {
    const auto exec = execValue(m_executable);
    if (!exec) {
        return exec.error();
    }
    const QString folder = QFileInfo(m_filePath).absolutePath();
    if (!QDir().mkpath(folder)) {
        return fileError(QStringLiteral("Could not create %1.").arg(folder));
    }
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Orlavo\n"
                                         "Comment=Push-to-talk dictation\n"
                                         "Exec=%1\n"
                                         "Icon=%2\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(exec.value(), QStringLiteral(ORLAVO_APP_ID));
    QSaveFile file(m_filePath);
    const QByteArray bytes = entry.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        return fileError(QStringLiteral("Could not write %1: %2").arg(m_filePath, file.errorString()));
    }
    return {};
}

Result<void> AutostartEntry::remove() const {
    QFile file(m_filePath);
    if (file.exists() && !file.remove()) {
        return fileError(QStringLiteral("Could not remove %1: %2").arg(m_filePath, file.errorString()));
    }
    return {};
}

void AutostartEntry::setLastError(const QString& error) {
    if (error != m_lastError) {
        m_lastError = error;
        emit lastErrorChanged();
    }
}
