#pragma once

#include "core/common/PTTError.h"
#include "core/ports/KeyValueStore.h"

#include <nlohmann/json.hpp>
#include <optional>

// The user defaults as one JSON file (by default $XDG_CONFIG_HOME/Kestrov/defaults.json),
// readable by its owner only and replaced atomically on every change.
//
// Booleans and texts are stored as JSON values; byte strings as {"data": text} when they are
// UTF-8 (the settings record stays readable) and {"base64": text} otherwise, so they read back
// byte for byte. Entries of other shapes are kept as they are.
//
// A file that is not a JSON object is never overwritten: it is renamed aside
// (defaults.json.corrupt-YYYYMMDD-HHMMSS) and the store starts empty. A read-only store (a command
// that saves nothing) leaves such a file where it is and never writes.
class JsonFileKeyValueStore final : public KeyValueStore {
public:
    enum class Access { readWrite, readOnly };

    explicit JsonFileKeyValueStore(QString filePath, Access access = Access::readWrite);

    std::optional<Value> value(const QString& key) const override;
    void setValue(const QString& key, const Value& value) override;
    void remove(const QString& key) override;
    std::optional<QString> lastWriteFailure() const override;

    QString filePath() const { return m_filePath; }
    // Where an unreadable file was moved at load, if one was.
    std::optional<QString> keptAsidePath() const { return m_keptAsidePath; }
    // The failure of the last load or write, if it failed; the values stay in memory.
    std::optional<PTTError> lastError() const { return m_lastError; }

private:
    void load();
    void persist();

    QString m_filePath;
    nlohmann::ordered_json m_document = nlohmann::ordered_json::object();
    std::optional<QString> m_keptAsidePath;
    std::optional<PTTError> m_lastError;
    // Set when the file exists but could neither be read nor moved aside: writing would destroy it.
    bool m_writeProtected = false;
    bool m_lastWriteFailed = false;
};
