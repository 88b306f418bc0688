#include "InMemoryKeyValueStore.h"

std::optional<KeyValueStore::Value> InMemoryKeyValueStore::value(const QString& key) const {
    const auto found = m_values.constFind(key);
    if (found == m_values.cend()) {
        return std::nullopt;
    }
    return *found;
}
