#pragma once

#include <QString>

#include <optional>

// One row of ptt_stats: a delivered dictation.
struct StatsRecord {
    qint64 words = 0;
    qint64 chars = 0;
    qint64 durationMs = 0;
    std::optional<QString> language;
    QString mode = QStringLiteral("push"); // "push" or "toggle"
    bool backtrack = false;
};
