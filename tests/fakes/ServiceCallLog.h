#pragma once

#include <QString>
#include <QStringList>

// One timeline of what the fakes of the services were asked to do, for tests that check order
// across services ("paste:Hi" before "sound:Tink" before "key:36").
class ServiceCallLog final {
public:
    void add(const QString& entry) { m_entries.append(entry); }
    const QStringList& entries() const { return m_entries; }
    // The entries that start with `prefix`, in order.
    QStringList matching(const QString& prefix) const;
    void clear() { m_entries.clear(); }

private:
    QStringList m_entries;
};

inline QStringList ServiceCallLog::matching(const QString& prefix) const {
    QStringList found = m_entries;
    found.removeIf([&prefix](const QString& entry) { return !entry.startsWith(prefix); });
    return found;
}

inline void logCall(ServiceCallLog* log, const QString& entry) {
    if (log) {
        log->add(entry);
    }
}
