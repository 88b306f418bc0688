#pragma once

#include "core/ports/Clock.h"

#include <QStringList>

// One ordered log shared by several fakes, so that a test can check the order of what happened
// across ports (clipboard writes, key presses), each entry stamped with the virtual time.
class EventJournal final {
public:
    explicit EventJournal(const Clock& clock)
        : m_clock(clock) {}

    void record(const QString& entry) {
        m_entries << QString::number(m_clock.monotonicSeconds(), 'f', 2) + QLatin1Char(' ') + entry;
    }
    const QStringList& entries() const { return m_entries; }
    void clear() { m_entries.clear(); }

private:
    const Clock& m_clock;
    QStringList m_entries;
};
