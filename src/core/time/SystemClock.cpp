#include "core/time/SystemClock.h"

SystemClock::SystemClock() {
    m_origin.start();
}

QDateTime SystemClock::now() const {
    return QDateTime::currentDateTimeUtc();
}

double SystemClock::monotonicSeconds() const {
    return static_cast<double>(m_origin.nsecsElapsed()) / 1e9;
}
