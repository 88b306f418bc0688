#pragma once

#include "ports/KeyValueStore.h"

#include <QHash>

class InMemoryKeyValueStore final : public KeyValueStore {
public:
    std::optional<Value> value(const QString& key) const override;
    void setValue(const QString& key, const Value& value) override { m_values.insert(key, value); }
    void remove(const QString& key) override { m_values.remove(key); }

    qsizetype size() const { return m_values.size(); }

private:
    QHash<QString, Value> m_values;
};
