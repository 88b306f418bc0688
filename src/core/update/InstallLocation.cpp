#include "core/update/InstallLocation.h"

#include "OrlavoVersion.h"

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

bool isPackageManaged(bool builtForPackage, const QString& executableDirectory) {
    const QString directory = QDir::cleanPath(executableDirectory);
    return builtForPackage || directory == QLatin1String("/usr/bin") || directory == QLatin1String("/bin");
}

bool runningIsPackageManaged() {
    return isPackageManaged(ORLAVO_PACKAGED != 0, QCoreApplication::applicationDirPath());
}

} // namespace InstallLocation
