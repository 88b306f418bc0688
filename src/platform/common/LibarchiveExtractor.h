#pragma once

#include "core/ports/ArchiveExtractor.h"

// Unpacks ZIP archives in process with libarchive. Entry paths are checked before anything is
// written: no absolute path, no ".." component, no special files; a symbolic link must be relative
// and stay inside the destination, with ".." only at its start; hard links are refused. Writing
// through a link already unpacked is refused as well.
// Permissions are kept except set-user-ID, set-group-ID and sticky bits; owners are not restored.
// An archive with more entries than allowed, or whose headers announce more bytes, is refused
// before anything is written; unpacking also stops at that many bytes really written (headers can
// lie), so a hostile archive cannot fill the disk. That failure is an UpdateError::packageTooLarge.
class LibarchiveExtractor final : public ArchiveExtractor {
public:
    struct Limits {
        // Far above what an install folder holds (a few thousand files, a few hundred MB).
        qint64 maxEntries = 50'000;
        qint64 maxBytes = qint64(2) * 1024 * 1024 * 1024;
    };

    LibarchiveExtractor() = default;
    explicit LibarchiveExtractor(Limits limits)
        : m_limits(limits) {}

    Result<void> extract(const QString& archivePath, const QString& destinationDirectory) override;

private:
    bool withinLimits(const QString& archivePath) const;

    Limits m_limits;
};
