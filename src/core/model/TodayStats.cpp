#include "core/model/TodayStats.h"

#include <algorithm>
#include <cmath>

qint64 TodayStats::estimatedMinutesSaved() const {
    if (words < 1) {
        return 0;
    }
    const double wordCount = static_cast<double>(words);
    const double minutes = wordCount / 40.0 - wordCount / 150.0;
    return std::max<qint64>(static_cast<qint64>(std::round(minutes)), 1);
}
