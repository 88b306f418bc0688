#include "EventJournal.h"

#include "ports/Clock.h"

void EventJournal::record(const QString& entry) {
    if (m_clock) {
        m_entries << QString::number(m_clock->monotonicSeconds(), 'f', 2) + QLatin1Char(' ') + entry;
    } else {
        m_entries << entry;
    }
}
