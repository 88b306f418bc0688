#include "core/files/FileBookmark.h"

#include "core/common/ErrorCode.h"
#include "core/common/FileError.h"
#include "core/common/JsonFields.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <nlohmann/json.hpp>
#include <sys/stat.h>

using nlohmann::ordered_json;

namespace FileBookmark {

namespace {

struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
};

std::optional<FileIdentity> identityOf(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    return FileIdentity{static_cast<quint64>(status.st_dev), static_cast<quint64>(status.st_ino)};
}

PTTError damaged() {
    return makeError(FileError::readCorruptFile,
                     QStringLiteral("The bookmark data is damaged and cannot be used."));
}

} // namespace

Result<QByteArray> create(const QString& absolutePath) {
    if (!QDir::isAbsolutePath(absolutePath)) {
        return makeError(FileError::readUnsupportedScheme,
                         QStringLiteral("“%1” is not an absolute file path.").arg(absolutePath));
    }
    ordered_json object;
    object["path"] = QDir::cleanPath(absolutePath).toStdString();
    if (const auto identity = identityOf(absolutePath)) {
        object["device"] = identity->device;
        object["inode"] = identity->inode;
    }
    return QByteArray::fromStdString(object.dump());
}

Result<QString> resolve(const QByteArray& bookmark) {
    const auto parsed = JsonFields::parseObject(bookmark);
    if (!parsed) {
        return damaged();
    }
    const auto path = JsonFields::requiredString(parsed.value(), "path");
    if (!path || !QDir::isAbsolutePath(path.value())) {
        return damaged();
    }
    const QFileInfo recorded(path.value());
    if (recorded.exists()) {
        return path.value();
    }
    const QDir folder = recorded.absoluteDir();
    if (!folder.exists()) {
        return makeError(
            FileError::noSuchFile,
            QStringLiteral("The file “%1” couldn’t be opened because the folder “%2” no longer exists.")
                .arg(recorded.fileName(), folder.path()));
    }
    const auto device = JsonFields::optionalInt64(parsed.value(), "device");
    const auto inode = JsonFields::optionalInt64(parsed.value(), "inode");
    if (device && device->ok() && inode && inode->ok()) {
        QDirIterator entries(folder.path(), QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
        while (entries.hasNext()) {
            const QString candidate = entries.next();
            const auto identity = identityOf(candidate);
            if (identity && identity->device == static_cast<quint64>(device->value()) &&
                identity->inode == static_cast<quint64>(inode->value())) {
                return candidate;
            }
        }
    }
    return path.value();
}

} // namespace FileBookmark
