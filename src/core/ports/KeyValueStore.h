#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <variant>

// The per-user "defaults": a small persistent map from keys to booleans, texts or byte strings.
// Values keep their kind: a byte string written is read back as the same bytes.
class KeyValueStore {
public:
    using Value = std::variant<bool, QString, QByteArray>;

    virtual ~KeyValueStore() = default;

    virtual std::optional<Value> value(const QString& key) const = 0;
    virtual void setValue(const QString& key, const Value& value) = 0;
    virtual void remove(const QString& key) = 0;
    // Why the last write did not reach its storage; nothing when it did (or there is none).
    virtual std::optional<QString> lastWriteFailure() const { return std::nullopt; }

    // Typed reads: absent, or present with another kind, reads as absent (false for booleans).
    std::optional<QByteArray> data(const QString& key) const;
    std::optional<QString> string(const QString& key) const;
    bool boolean(const QString& key) const;

    void setData(const QString& key, const QByteArray& bytes) { setValue(key, bytes); }
    void setString(const QString& key, const QString& text) { setValue(key, text); }
    void setBool(const QString& key, bool flag) { setValue(key, flag); }
};
