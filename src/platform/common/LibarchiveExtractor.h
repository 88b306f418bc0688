#pragma once

#include "ports/ArchiveExtractor.h"

// Unpacks ZIP archives in process with libarchive. Entry paths are checked before anything is
// written: no absolute path, no ".." component, no special files; a symbolic link must be relative
// and stay inside the destination, with ".." only at its start; hard links are refused. Writing
// through a link already unpacked is refused as well.
// Permissions are kept except set-user-ID, set-group-ID and sticky bits; owners are not restored.
class LibarchiveExtractor final : public ArchiveExtractor {
public:
    Result<void> extract(const QString& archivePath, const QString& destinationDirectory) override;
};
