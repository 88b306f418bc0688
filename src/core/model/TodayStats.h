#pragma once

#include <QtGlobal>

// Usage of the user's current day.
struct TodayStats {
    qint64 dictations = 0;
    qint64 words = 0;
    qint64 durationMs = 0;

    friend bool operator==(const TodayStats&, const TodayStats&) = default;

    // Typing at 40 words a minute against speaking at 150: the minutes dictation saved, at least 1
    // once anything was dictated.
    qint64 estimatedMinutesSaved() const;
};
