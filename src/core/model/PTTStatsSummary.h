#pragma once

#include <QString>

#include <optional>

// All-time usage.
struct PTTStatsSummary {
    qint64 totalSessions = 0;
    qint64 totalWords = 0;
    qint64 totalDurationMs = 0;
    qint64 backtracks = 0;
    std::optional<QString> topLanguage;

    friend bool operator==(const PTTStatsSummary&, const PTTStatsSummary&) = default;
};
