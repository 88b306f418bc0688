#include "InstallLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace InstallLocation {

QString appFolderForExecutableDirectory(const QString& executableDirectory) {
    if (executableDirectory.isEmpty()) {
        return {};
    }
    QString folder = QDir::cleanPath(QDir(executableDirectory).absoluteFilePath(QStringLiteral("..")));
    if (QFileInfo(folder).fileName() != appFolderName || !QFileInfo(folder).isDir()) {
        return {};
    }
    return folder;
}

QString runningAppFolder() {
    return appFolderForExecutableDirectory(QCoreApplication::applicationDirPath());
}

} // namespace InstallLocation
