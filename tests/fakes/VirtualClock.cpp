#include "VirtualClock.h"

#include <cmath>

VirtualClock::VirtualClock(QDateTime start)
    : m_start(std::move(start)) {}

QDateTime VirtualClock::now() const {
    return m_start.addMSecs(static_cast<qint64>(std::llround(m_elapsed * 1000.0)));
}

void VirtualClock::setNow(const QDateTime& moment) {
    m_start = moment.addMSecs(-static_cast<qint64>(std::llround(m_elapsed * 1000.0)));
}
