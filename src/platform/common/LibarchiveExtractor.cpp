#include "platform/common/LibarchiveExtractor.h"

#include "core/common/ErrorCode.h"
#include "core/common/ErrorDomain.h"
#include "core/update/UpdateError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <memory>
#include <optional>

namespace {

// The steps of unpacking, numbered within the file domain.
enum class ExtractError { noDestination = 1, unreadableArchive = 2, unsafeEntry = 3, writeFailed = 4 };

const QString& errorDomain(ExtractError) {
    return ErrorDomain::file;
}

QString archiveMessage(archive* handle) {
    const char* message = archive_error_string(handle);
    return message ? QString::fromUtf8(message) : QStringLiteral("unknown error");
}

struct ReaderDeleter {
    void operator()(archive* handle) const { archive_read_free(handle); }
};
struct WriterDeleter {
    void operator()(archive* handle) const { archive_write_free(handle); }
};

// The components of a relative entry path, or nothing when the path is absolute, climbs with
// "..", or is empty. "." components and repeated slashes are dropped.
std::optional<QStringList> safeComponents(const QString& path) {
    if (path.isEmpty() || path.startsWith(QLatin1Char('/'))) {
        return std::nullopt;
    }
    QStringList components;
    for (const QString& component : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (component == QLatin1String("..")) {
            return std::nullopt;
        }
        if (component != QLatin1String(".")) {
            components.append(component);
        }
    }
    if (components.isEmpty()) {
        return std::nullopt;
    }
    return components;
}

// A link target resolved from the link's own folder must stay inside the destination. ".." is
// allowed only before the first plain component: after one it could step back out of a folder
// that is itself a link, which a purely textual check cannot follow.
bool linkTargetStaysInside(const QStringList& linkComponents, const QString& target) {
    if (target.isEmpty() || target.startsWith(QLatin1Char('/'))) {
        return false;
    }
    qsizetype depth = linkComponents.size() - 1; // the folder holding the link
    bool seenPlainComponent = false;
    for (const QString& component : target.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (component == QLatin1String(".")) {
            continue;
        }
        if (component == QLatin1String("..")) {
            if (seenPlainComponent || depth == 0) {
                return false;
            }
            --depth;
        } else {
            seenPlainComponent = true;
        }
    }
    return true;
}

QString entryPath(archive_entry* entry) {
    if (const char* utf8 = archive_entry_pathname_utf8(entry)) {
        return QString::fromUtf8(utf8);
    }
    const char* raw = archive_entry_pathname(entry);
    return raw ? QFile::decodeName(raw) : QString();
}

Result<void> copyData(archive* reader, archive* writer, qint64& budget) {
    const void* buffer = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    for (;;) {
        const int status = archive_read_data_block(reader, &buffer, &size, &offset);
        if (status == ARCHIVE_EOF) {
            return {};
        }
        if (status < ARCHIVE_WARN) {
            return makeError(ExtractError::unreadableArchive, archiveMessage(reader));
        }
        budget -= qint64(size);
        if (budget < 0) {
            return makeUpdateError(UpdateError::packageTooLarge);
        }
        if (archive_write_data_block(writer, buffer, size, offset) < ARCHIVE_WARN) {
            return makeError(ExtractError::writeFailed, archiveMessage(writer));
        }
    }
}

} // namespace

// A first pass over the headers only: an archive with too many entries, or whose entries announce
// too many bytes, is refused before anything is written. The writing pass still counts what it
// really writes, as sizes in headers can lie.
bool LibarchiveExtractor::withinLimits(const QString& archivePath) const {
    std::unique_ptr<archive, ReaderDeleter> reader(archive_read_new());
    if (!reader) {
        return false;
    }
    archive_read_support_format_zip(reader.get());
    if (archive_read_open_filename(reader.get(), QFile::encodeName(archivePath).constData(),
                                   size_t(64) * 1024) != ARCHIVE_OK) {
        return true; // the writing pass reports the unreadable archive
    }
    qint64 entries = 0;
    qint64 announced = 0;
    archive_entry* entry = nullptr;
    while (archive_read_next_header(reader.get(), &entry) >= ARCHIVE_WARN) {
        if (archive_entry_size_is_set(entry)) {
            announced += std::max<la_int64_t>(0, archive_entry_size(entry));
        }
        if (++entries > m_limits.maxEntries || announced > m_limits.maxBytes) {
            return false;
        }
    }
    return true;
}

Result<void> LibarchiveExtractor::extract(const QString& archivePath, const QString& destinationDirectory) {
    // Without links in the destination's own path the library's check against writing through
    // links works from the root.
    const QString root = QFileInfo(destinationDirectory).canonicalFilePath();
    if (root.isEmpty() || !QFileInfo(root).isDir()) {
        return makeError(ExtractError::noDestination,
                         QStringLiteral("The folder “%1” does not exist.").arg(destinationDirectory));
    }

    if (!withinLimits(archivePath)) {
        return makeUpdateError(UpdateError::packageTooLarge);
    }
    std::unique_ptr<archive, ReaderDeleter> reader(archive_read_new());
    std::unique_ptr<archive, WriterDeleter> writer(archive_write_disk_new());
    if (!reader || !writer) {
        return makeError(ExtractError::unreadableArchive, QStringLiteral("Out of memory."));
    }
    archive_read_support_format_zip(reader.get());
    archive_write_disk_set_options(writer.get(), ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_SECURE_NODOTDOT |
                                                     ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                                                     ARCHIVE_EXTRACT_NO_OVERWRITE);
    if (archive_read_open_filename(reader.get(), QFile::encodeName(archivePath).constData(),
                                   size_t(64) * 1024) != ARCHIVE_OK) {
        return makeError(ExtractError::unreadableArchive, archiveMessage(reader.get()));
    }

    qint64 entriesLeft = m_limits.maxEntries;
    qint64 bytesLeft = m_limits.maxBytes;
    for (;;) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF) {
            break;
        }
        if (status < ARCHIVE_WARN) {
            return makeError(ExtractError::unreadableArchive, archiveMessage(reader.get()));
        }
        if (--entriesLeft < 0) {
            return makeUpdateError(UpdateError::packageTooLarge);
        }
        const QString path = entryPath(entry);
        const auto components = safeComponents(path);
        if (!components) {
            return makeError(ExtractError::unsafeEntry,
                             QStringLiteral("Refused the entry “%1”: it points outside.").arg(path));
        }
        const auto type = archive_entry_filetype(entry);
        // ZIP has no hard links; one read from a crafted archive is refused like a special file.
        if ((type != AE_IFREG && type != AE_IFDIR && type != AE_IFLNK) || archive_entry_hardlink(entry)) {
            return makeError(ExtractError::unsafeEntry,
                             QStringLiteral("Refused the special file “%1”.").arg(path));
        }
        if (type == AE_IFLNK) {
            const char* target = archive_entry_symlink_utf8(entry);
            if (!target || !linkTargetStaysInside(*components, QString::fromUtf8(target))) {
                return makeError(ExtractError::unsafeEntry,
                                 QStringLiteral("Refused the link “%1”: it points outside.").arg(path));
            }
        }
        const QString destination = root + QLatin1Char('/') + components->join(QLatin1Char('/'));
        archive_entry_copy_pathname(entry, QFile::encodeName(destination).constData());
        archive_entry_set_perm(entry, archive_entry_perm(entry) & 0777);

        if (archive_write_header(writer.get(), entry) < ARCHIVE_WARN) {
            return makeError(ExtractError::writeFailed, archiveMessage(writer.get()));
        }
        // Sizes are not always in the local header (streamed entries), so regular files are always
        // read to their end.
        if (type == AE_IFREG) {
            if (auto copied = copyData(reader.get(), writer.get(), bytesLeft); !copied) {
                return copied;
            }
        }
        if (archive_write_finish_entry(writer.get()) < ARCHIVE_WARN) {
            return makeError(ExtractError::writeFailed, archiveMessage(writer.get()));
        }
    }
    if (archive_write_close(writer.get()) < ARCHIVE_WARN) {
        return makeError(ExtractError::writeFailed, archiveMessage(writer.get()));
    }
    return {};
}
