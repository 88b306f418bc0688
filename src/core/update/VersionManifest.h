#pragma once

#include "core/common/Result.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The version feed document. "version" and "download_url" are required; the rest is optional.
// Of the optional fields only the release notes and the checksum are used.
struct VersionManifest {
    QString version;
    std::optional<QString> build;
    std::optional<QString> minimumOS;
    // Lower-case or upper-case hex SHA-256 of the package; when present the package must match.
    std::optional<QString> sha256;
    std::optional<qint64> size;
    std::optional<QString> releaseNotes;
    QString downloadURL;

    friend bool operator==(const VersionManifest&, const VersionManifest&) = default;

    // Absent optional fields are left out.
    QByteArray toJson() const;
    // Unknown keys are ignored; a present value of the wrong type is an error, null reads as absent.
    static Result<VersionManifest> fromJson(const QByteArray& json);
};
