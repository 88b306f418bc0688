#include "core/ports/KeyValueStore.h"

namespace {

template <typename T>
std::optional<T> valueOfKind(const std::optional<KeyValueStore::Value>& stored) {
    if (!stored) {
        return std::nullopt;
    }
    if (const T* typed = std::get_if<T>(&*stored)) {
        return *typed;
    }
    return std::nullopt;
}

} // namespace

std::optional<QByteArray> KeyValueStore::data(const QString& key) const {
    return valueOfKind<QByteArray>(value(key));
}

std::optional<QString> KeyValueStore::string(const QString& key) const {
    return valueOfKind<QString>(value(key));
}

bool KeyValueStore::boolean(const QString& key) const {
    return valueOfKind<bool>(value(key)).value_or(false);
}
