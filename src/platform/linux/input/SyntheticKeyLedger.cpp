#include "platform/linux/input/SyntheticKeyLedger.h"

#include <algorithm>

namespace {

// Beyond this many outstanding presses something is not listening; old ones go first.
constexpr std::size_t maxEntries = 256;

} // namespace

void SyntheticKeyLedger::record(int keyCode, bool press, double now) {
    expire(now);
    if (m_entries.size() >= maxEntries) {
        m_entries.pop_front();
    }
    m_entries.push_back({keyCode, press, now});
}

bool SyntheticKeyLedger::consume(int keyCode, bool press, double now) {
    expire(now);
    const auto found = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& entry) {
        return entry.keyCode == keyCode && entry.press == press;
    });
    if (found == m_entries.end()) {
        return false;
    }
    m_entries.erase(found);
    return true;
}

void SyntheticKeyLedger::expire(double now) {
    while (!m_entries.empty() && now - m_entries.front().time > lifetimeSeconds) {
        m_entries.pop_front();
    }
}
