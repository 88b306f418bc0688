#pragma once

#include <QString>

// Orlavo is installed as a relocatable folder "Orlavo.app" (bin/orlavo, its libraries and QML).
// An update swaps that folder; the backup and the success marker live beside it.
namespace InstallLocation {

inline const QString appFolderName = QStringLiteral("Orlavo.app");
inline const QString backupName = QStringLiteral("Orlavo.app.backup");
inline const QString successMarkerName = QStringLiteral(".ov-update-ok");
inline const QString executablePath = QStringLiteral("bin/orlavo");

// The install folder that holds an executable living in `executableDirectory`: its parent when
// that parent is named "Orlavo.app". Empty otherwise (a build tree, a distribution package), and
// then nothing is ever swapped or cleaned up.
QString appFolderForExecutableDirectory(const QString& executableDirectory);

// The install folder of this process (from QCoreApplication::applicationDirPath()).
QString runningAppFolder();

// Whether a package manager owns this copy and updates it: a build for a distribution package,
// or an executable in the system's own program folder (/usr/bin, /bin).
bool isPackageManaged(bool builtForPackage, const QString& executableDirectory);
bool runningIsPackageManaged();

} // namespace InstallLocation
