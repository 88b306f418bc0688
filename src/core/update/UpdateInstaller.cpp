#include "core/update/UpdateInstaller.h"

#include "core/common/ErrorCode.h"
#include "core/common/ErrorDomain.h"
#include "core/update/InstallLocation.h"
#include "core/update/UpdateError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The installation's own steps, numbered within the file domain.
enum class InstallError {
    copyFailed = 1,
    moveAsideFailed = 2,
    moveInFailed = 3,
    restoreFailed = 4,
    exchangeFailed = 5
};

const QString& errorDomain(InstallError) {
    return ErrorDomain::file;
}

const QString pendingMarkerName = QStringLiteral(".ov-update-pending");

bool existsOrIsLink(const QFileInfo& info) {
    return info.exists() || info.isSymLink();
}

// The link's own text, which may be relative; QFileInfo only offers the resolved target.
std::optional<QByteArray> readLinkText(const QString& path) {
    QByteArray buffer(4096, Qt::Uninitialized);
    const ssize_t length = ::readlink(QFile::encodeName(path).constData(), buffer.data(), buffer.size());
    if (length < 0 || length >= buffer.size()) {
        return std::nullopt;
    }
    buffer.truncate(length);
    return buffer;
}

// Copies a tree keeping permissions and links as links.
bool copyTree(const QString& from, const QString& to) {
    const QFileInfo source(from);
    if (source.isSymLink()) {
        const auto target = readLinkText(from);
        return target && QFile::link(QFile::decodeName(*target), to);
    }
    if (source.isDir()) {
        if (!QDir().mkdir(to)) {
            return false;
        }
        const QDir directory(from);
        const QStringList names =
            directory.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        for (const QString& name : names) {
            if (!copyTree(directory.filePath(name), QDir(to).filePath(name))) {
                return false;
            }
        }
        return QFile::setPermissions(to, source.permissions());
    }
    if (source.isFile()) {
        return QFile::copy(from, to) && QFile::setPermissions(to, source.permissions());
    }
    return false;
}

bool defaultRename(const QString& from, const QString& to) {
    return QDir().rename(from, to);
}

int defaultExchange(const QString& first, const QString& second) {
    if (::renameat2(AT_FDCWD, QFile::encodeName(first).constData(), AT_FDCWD,
                    QFile::encodeName(second).constData(), RENAME_EXCHANGE) == 0) {
        return 0;
    }
    return errno;
}

bool ownedByUs(const QString& path) {
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && status.st_uid == ::geteuid();
}

// Makes what was written reach the disk: the data of the staged files and the directory entries.
void syncDirectory(const QString& path, bool wholeFileSystem) {
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        return;
    }
    if (wholeFileSystem) {
        ::syncfs(descriptor);
    } else {
        ::fsync(descriptor);
    }
    ::close(descriptor);
}

bool writeMarker(const QString& path, const QByteArray& content) {
    QFile marker(path);
    if (!marker.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    const bool written = marker.write(content) == content.size() && marker.flush();
    ::fsync(marker.handle());
    return written;
}

} // namespace

UpdateInstaller::UpdateInstaller(QString appFolder, RenameFunction rename, ExchangeFunction exchange)
    : m_appFolder(std::move(appFolder))
    , m_rename(rename ? std::move(rename) : RenameFunction(defaultRename))
    , m_exchange(exchange ? std::move(exchange) : ExchangeFunction(defaultExchange)) {}

QString UpdateInstaller::parentDirectory() const {
    return m_appFolder.isEmpty() ? QString() : QFileInfo(m_appFolder).absolutePath();
}

QString UpdateInstaller::backupPath() const {
    return QDir(parentDirectory()).filePath(InstallLocation::backupName);
}

QString UpdateInstaller::successMarkerPath() const {
    return QDir(parentDirectory()).filePath(InstallLocation::successMarkerName);
}

QString UpdateInstaller::pendingMarkerPath() const {
    return QDir(parentDirectory()).filePath(pendingMarkerName);
}

QString UpdateInstaller::stagingPath() const {
    return QDir(parentDirectory()).filePath(QStringLiteral(".Orlavo.app.incoming"));
}

Result<QString> UpdateInstaller::findNewApp(const QString& extractedDirectory) const {
    const QDir directory(extractedDirectory);
    const QFileInfoList entries = directory.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (entry.isSymLink() || entry.suffix() != QLatin1String("app")) {
            continue;
        }
        const QFileInfo executable(QDir(entry.filePath()).filePath(InstallLocation::executablePath));
        if (executable.isFile() && executable.isExecutable()) {
            return entry.filePath();
        }
    }
    return makeUpdateError(UpdateError::appNotFound);
}

Result<void> UpdateInstaller::checkInstallLocation() const {
    const QFileInfo current(m_appFolder);
    if (m_appFolder.isEmpty() || current.isSymLink() || !current.isDir() || !ownedByUs(m_appFolder) ||
        !ownedByUs(parentDirectory()) || !QFileInfo(parentDirectory()).isWritable()) {
        return makeUpdateError(UpdateError::currentAppNotFound);
    }
    return {};
}

Result<void> UpdateInstaller::bringBeside(const QString& newApp) const {
    const QString staging = stagingPath();
    // A leftover of an interrupted update: ours to remove.
    removePath(staging);
    if (m_rename(newApp, staging)) {
        return {};
    }
    if (copyTree(newApp, staging)) {
        return {};
    }
    removePath(staging);
    return makeError(InstallError::copyFailed,
                     QStringLiteral("Could not copy the new version beside “%1”.").arg(m_appFolder));
}

Result<void> UpdateInstaller::swapIn(const QString& newApp, const QString& newVersion) const {
    if (auto location = checkInstallLocation(); !location) {
        return location;
    }
    if (auto staged = bringBeside(newApp); !staged) {
        return staged;
    }
    // The new files must be on disk before any name points at them.
    syncDirectory(parentDirectory(), true);
    removePath(backupPath());
    QFile::remove(successMarkerPath());
    QFile::remove(pendingMarkerPath());
    if (auto swapped = exchangeOrRename(stagingPath()); !swapped) {
        syncParent();
        return swapped;
    }
    // Without the marker the backup merely survives until a later update.
    writeMarker(pendingMarkerPath(), newVersion.toUtf8());
    syncParent();
    return {};
}

Result<void> UpdateInstaller::exchangeOrRename(const QString& staging) const {
    const QString backup = backupPath();
    const int exchanged = m_exchange(staging, m_appFolder);
    if (exchanged == 0) {
        // The old version now sits at the staging name; a crash here still leaves the new version
        // installed, and the next update clears the staging name.
        m_rename(staging, backup);
        return {};
    }
    // Only a file system without the atomic exchange falls back to two renames.
    if (exchanged != EINVAL && exchanged != ENOSYS && exchanged != EOPNOTSUPP) {
        removePath(staging);
        return makeError(InstallError::exchangeFailed,
                         QStringLiteral("Could not exchange “%1” for the new version.").arg(m_appFolder));
    }
    if (!m_rename(m_appFolder, backup)) {
        removePath(staging);
        return makeError(InstallError::moveAsideFailed,
                         QStringLiteral("Could not move “%1” to “%2”.").arg(m_appFolder, backup));
    }
    if (!m_rename(staging, m_appFolder)) {
        if (!m_rename(backup, m_appFolder)) {
            return makeError(InstallError::restoreFailed,
                             QStringLiteral("Could not move the new version into place; the previous "
                                            "version is kept at “%1”.")
                                 .arg(backup));
        }
        removePath(staging);
        return makeError(
            InstallError::moveInFailed,
            QStringLiteral("Could not move the new version into place at “%1”.").arg(m_appFolder));
    }
    return {};
}

void UpdateInstaller::syncParent() const {
    syncDirectory(parentDirectory(), false);
}

bool UpdateInstaller::recoverInterruptedSwap() const {
    if (m_appFolder.isEmpty() || existsOrIsLink(QFileInfo(m_appFolder))) {
        return false;
    }
    const QFileInfo backup(backupPath());
    if (backup.isSymLink() || !backup.isDir() || !m_rename(backupPath(), m_appFolder)) {
        return false;
    }
    // The pending marker named a version that never got its place.
    QFile::remove(pendingMarkerPath());
    syncParent();
    return true;
}

bool UpdateInstaller::cleanupOldBackup(const QString& runningVersion) const {
    if (m_appFolder.isEmpty()) {
        return false;
    }
    const bool completedByOlderRelease = existsOrIsLink(QFileInfo(successMarkerPath()));
    QFile pending(pendingMarkerPath());
    const bool newVersionRunning =
        pending.open(QIODevice::ReadOnly) && QString::fromUtf8(pending.read(256)).trimmed() == runningVersion;
    if (!completedByOlderRelease && !newVersionRunning) {
        return false;
    }
    removePath(backupPath());
    QFile::remove(successMarkerPath());
    QFile::remove(pendingMarkerPath());
    syncParent();
    return true;
}

bool UpdateInstaller::removePath(const QString& path) {
    const QFileInfo info(path);
    if (!existsOrIsLink(info)) {
        return true;
    }
    // QDir::removeRecursively on a link to a directory would empty the directory it points to.
    if (info.isSymLink() || !info.isDir()) {
        return QFile::remove(path);
    }
    return QDir(path).removeRecursively();
}
