#pragma once

#include "core/common/Result.h"

#include <QString>

// Unpacks archives (the update package).
class ArchiveExtractor {
public:
    virtual ~ArchiveExtractor() = default;

    // Unpacks the archive into `destinationDirectory`, which must exist. Nothing is ever written
    // outside it: an entry with an absolute path or one that climbs out with "..", and a link that
    // points outside, fail the whole extraction. What was unpacked before the failure stays inside.
    virtual Result<void> extract(const QString& archivePath, const QString& destinationDirectory) = 0;
};
