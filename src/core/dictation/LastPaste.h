#pragma once

#include <QString>

#include <optional>

// What the controller pasted last, so that a spoken correction can replace it.
struct LastPaste {
    QString text;
    // In user-perceived characters: how far to select backwards to cover it.
    qint64 length = 0;
    // Monotonic seconds.
    double pastedAt = 0;
    // The application it went into; a correction replaces it only there.
    std::optional<QString> appName;
};
