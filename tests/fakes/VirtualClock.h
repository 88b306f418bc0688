#pragma once

#include "core/ports/Clock.h"

#include <cmath>

// Time that moves only when told to.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(QDateTime start = QDateTime(QDate(2026, 1, 15), QTime(12, 0), Qt::UTC))
        : m_start(std::move(start)) {}

    QDateTime now() const override { return m_start.addMSecs(elapsedMs()); }
    double monotonicSeconds() const override { return m_elapsed; }

    void advance(double seconds) { m_elapsed += seconds; }
    // Jumps the wall clock (not the monotonic time) to `moment`.
    void setNow(const QDateTime& moment) { m_start = moment.addMSecs(-elapsedMs()); }

private:
    qint64 elapsedMs() const { return static_cast<qint64>(std::llround(m_elapsed * 1000.0)); }

    QDateTime m_start;
    double m_elapsed = 0;
};
