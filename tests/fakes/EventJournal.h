#pragma once

#include <QString>
#include <QStringList>

class Clock;

// One ordered log shared by several fakes, so that a test can check the order of what happened
// across ports (clipboard writes, key presses), each entry stamped with the virtual time.
class EventJournal final {
public:
    explicit EventJournal(const Clock* clock = nullptr)
        : m_clock(clock) {}

    void record(const QString& entry);
    const QStringList& entries() const { return m_entries; }
    void clear() { m_entries.clear(); }

private:
    const Clock* m_clock;
    QStringList m_entries;
};
