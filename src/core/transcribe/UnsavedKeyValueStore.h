#pragma once

#include "core/ports/KeyValueStore.h"

#include <QHash>

// The user's defaults as they are, with this run's changes kept in memory only: a one-off
// command can build the controller without touching the user's settings.
class UnsavedKeyValueStore final : public KeyValueStore {
public:
    explicit UnsavedKeyValueStore(const KeyValueStore& stored)
        : m_stored(stored) {}

    std::optional<Value> value(const QString& key) const override {
        const auto changed = m_changes.constFind(key);
        return changed != m_changes.cend() ? *changed : m_stored.value(key);
    }
    void setValue(const QString& key, const Value& value) override { m_changes.insert(key, value); }
    void remove(const QString& key) override { m_changes.insert(key, std::nullopt); }

private:
    const KeyValueStore& m_stored;
    QHash<QString, std::optional<Value>> m_changes;
};
