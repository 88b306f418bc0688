#include "core/paths/AppPaths.h"

#include <QDir>
#include <QStandardPaths>

namespace AppPaths {

namespace {

const QString folderName = QStringLiteral("Kestrov");

// An XDG variable counts only when it holds an absolute path.
QString baseDirectory(const char* variable, const QString& fallbackBelowHome) {
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value)) {
        return QDir::cleanPath(value);
    }
    return QDir::homePath() + QLatin1Char('/') + fallbackBelowHome;
}

} // namespace

QString configDirectory() {
    return baseDirectory("XDG_CONFIG_HOME", QStringLiteral(".config")) + QLatin1Char('/') + folderName;
}

QString dataDirectory() {
    return baseDirectory("XDG_DATA_HOME", QStringLiteral(".local/share")) + QLatin1Char('/') + folderName;
}

QString documentsDirectory() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents.isEmpty() ? QDir::homePath() + QStringLiteral("/Documents") : documents;
}

QString defaultsFile() {
    return configDirectory() + QStringLiteral("/defaults.json");
}

QString databaseFile() {
    return dataDirectory() + QStringLiteral("/ptt.sqlite");
}

QString serverConfigFile() {
    return configDirectory() + QStringLiteral("/server.json");
}

QString serverTokenFile() {
    return configDirectory() + QStringLiteral("/server-token");
}

} // namespace AppPaths
