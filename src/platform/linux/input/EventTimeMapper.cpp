#include "platform/linux/input/EventTimeMapper.h"

#include <algorithm>

void EventTimeMapper::calibrate(quint32 serverMilliseconds, double localSeconds) {
    m_serverSeconds = serverMilliseconds / 1000.0;
    m_lastServerMilliseconds = serverMilliseconds;
    m_offset = localSeconds - m_serverSeconds;
    m_lastResult = 0;
    m_anchored = true;
}

double EventTimeMapper::map(quint32 serverMilliseconds, double now) {
    if (!m_anchored) {
        m_serverSeconds = serverMilliseconds / 1000.0;
        m_offset = now - m_serverSeconds;
        m_lastResult = now;
        m_anchored = true;
    } else {
        // Signed difference: the 32-bit times wrap, and an event may carry a slightly older time.
        const auto delta = static_cast<qint32>(serverMilliseconds - m_lastServerMilliseconds);
        m_serverSeconds += delta / 1000.0;
        m_offset = std::min(m_offset, now - m_serverSeconds);
    }
    m_lastServerMilliseconds = serverMilliseconds;
    const double result = std::max(m_lastResult, std::min(m_serverSeconds + m_offset, now));
    m_lastResult = result;
    return result;
}
