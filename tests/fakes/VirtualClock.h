#pragma once

#include "ports/Clock.h"

// Time that moves only when told to.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(QDateTime start = QDateTime(QDate(2026, 1, 15), QTime(12, 0), Qt::UTC));

    QDateTime now() const override;
    double monotonicSeconds() const override { return m_elapsed; }

    void advance(double seconds) { m_elapsed += seconds; }
    // Jumps the wall clock (not the monotonic time) to `moment`.
    void setNow(const QDateTime& moment);

private:
    QDateTime m_start;
    double m_elapsed = 0;
};
