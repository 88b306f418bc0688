#pragma once

#include "common/Result.h"

#include <QString>

#include <functional>

// The file-system half of an update: finds the new install folder in an unpacked package and swaps
// it for the installed one, keeping the old folder as "Orlavo.app.backup" until the next launch.
//
// The new folder is first brought beside the installed one (renamed, or copied when the package was
// unpacked on another file system), so the swap itself is two renames within one directory. If the
// second rename fails the first is undone: at no point is the user left without an installation.
class UpdateInstaller final {
public:
    // Renames a directory; fails rather than replacing an existing target.
    using RenameFunction = std::function<bool(const QString& from, const QString& to)>;

    // `appFolder` is the installed Orlavo.app; empty when this process is not installed that way.
    explicit UpdateInstaller(QString appFolder, RenameFunction rename = {});

    QString appFolder() const { return m_appFolder; }
    QString parentDirectory() const;
    QString backupPath() const;
    QString successMarkerPath() const;
    // Where the new folder waits beside the installed one just before the swap.
    QString stagingPath() const;

    // The first folder with the extension "app" (by name) at the top of `extractedDirectory` that
    // holds an executable bin/orlavo; a package without one is refused, as it could not be started.
    Result<QString> findNewApp(const QString& extractedDirectory) const;

    // The installed folder exists and its parent can be written.
    Result<void> checkInstallLocation() const;

    // Replaces the installed folder with `newApp`, keeps the old one as the backup and writes the
    // success marker. On failure the installed folder is what it was before.
    Result<void> swapIn(const QString& newApp) const;

    // After a completed swap (the marker exists) removes the backup and the marker. Answers whether
    // the marker was there. Without the marker nothing is touched.
    bool cleanupOldBackup() const;

    // Removes a file, a link (never what it points to) or a directory tree; answers whether
    // nothing is left at `path`.
    static bool removePath(const QString& path);

private:
    Result<void> bringBeside(const QString& newApp) const;

    QString m_appFolder;
    RenameFunction m_rename;
};
