#pragma once

#include "core/common/Result.h"

#include <QString>

#include <functional>

// The file-system half of an update: finds the new install folder in an unpacked package and swaps
// it for the installed one, keeping the old folder as "Orlavo.app.backup" until the new version has
// started.
//
// The new folder is first brought beside the installed one (renamed, or copied when the package was
// unpacked on another file system) and flushed to disk. The swap then exchanges the two folders in
// one atomic step where the file system allows it; elsewhere it is two renames, the first undone if
// the second fails, and a crash between them is repaired at the next start (recoverInterruptedSwap).
// The swap leaves a pending marker naming the new version; only that version, once running, removes
// the backup (cleanupOldBackup).
class UpdateInstaller final {
public:
    // Renames a directory; fails rather than replacing an existing target.
    using RenameFunction = std::function<bool(const QString& from, const QString& to)>;
    // Exchanges two directories atomically; answers 0 or the errno of the failure.
    using ExchangeFunction = std::function<int(const QString& first, const QString& second)>;

    // `appFolder` is the installed Orlavo.app; empty when this process is not installed that way.
    explicit UpdateInstaller(QString appFolder, RenameFunction rename = {}, ExchangeFunction exchange = {});

    QString appFolder() const { return m_appFolder; }
    QString parentDirectory() const;
    QString backupPath() const;
    QString successMarkerPath() const;
    // Written by the swap: the version that must start before the backup may go.
    QString pendingMarkerPath() const;
    // Where the new folder waits beside the installed one just before the swap.
    QString stagingPath() const;

    // The first folder with the extension "app" (by name) at the top of `extractedDirectory` that
    // holds an executable bin/orlavo; a package without one is refused, as it could not be started.
    Result<QString> findNewApp(const QString& extractedDirectory) const;

    // The installed folder exists, is a real folder, and it and its parent belong to this user and
    // can be written. Someone else's folder is never replaced: its owner could have put anything
    // there, and what we write there would run as them.
    Result<void> checkInstallLocation() const;

    // Replaces the installed folder with `newApp` (version `newVersion`), keeps the old one as the
    // backup and writes the pending marker. On failure the installed folder is what it was before.
    Result<void> swapIn(const QString& newApp, const QString& newVersion) const;

    // At a start: when a crash between the two renames left no installed folder but a backup, puts
    // the backup back. Answers whether it did.
    bool recoverInterruptedSwap() const;

    // At a start of `runningVersion`: when it is the version a swap installed (pending marker), or
    // an older release completed a swap (success marker), removes the backup and the marker.
    // Answers whether it did. Otherwise nothing is touched.
    bool cleanupOldBackup(const QString& runningVersion) const;

    // Removes a file, a link (never what it points to) or a directory tree; answers whether
    // nothing is left at `path`.
    static bool removePath(const QString& path);

private:
    Result<void> bringBeside(const QString& newApp) const;
    Result<void> exchangeOrRename(const QString& staging) const;
    void syncParent() const;

    QString m_appFolder;
    RenameFunction m_rename;
    ExchangeFunction m_exchange;
};
