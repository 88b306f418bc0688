#pragma once

#include <QDateTime>

// Wall-clock time for timestamps that are stored or shown, and a monotonic time for measuring
// intervals (key holds, double taps, recording length), which never jumps with the system clock.
class Clock {
public:
    virtual ~Clock() = default;

    // The current moment, in UTC.
    virtual QDateTime now() const = 0;

    // Seconds since an arbitrary fixed origin; only differences mean anything.
    virtual double monotonicSeconds() const = 0;
};
