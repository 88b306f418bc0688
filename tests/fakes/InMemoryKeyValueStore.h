#pragma once

#include "core/ports/KeyValueStore.h"

#include <QHash>

class InMemoryKeyValueStore final : public KeyValueStore {
public:
    std::optional<Value> value(const QString& key) const override {
        const auto found = m_values.constFind(key);
        return found == m_values.cend() ? std::nullopt : std::optional(*found);
    }
    void setValue(const QString& key, const Value& value) override { m_values.insert(key, value); }
    void remove(const QString& key) override { m_values.remove(key); }
    std::optional<QString> lastWriteFailure() const override { return failWrites; }

    // Set: every write "fails" with this reason (the values are still kept, as in memory).
    std::optional<QString> failWrites;

private:
    QHash<QString, Value> m_values;
};
