#pragma once

#include "core/common/PTTError.h"
#include "core/model/PTTSettings.h"

#include <optional>

class KeyValueStore;

// Keeps the settings record and the setup flag in the user defaults.
class SettingsStore final {
public:
    static inline const QString settingsKey = QStringLiteral("ptt.settings.v1");
    static inline const QString setupCompletedKey = QStringLiteral("ptt.setupCompleted.v1");
    // Where a stored record that no longer decodes is kept before a save replaces it.
    static inline const QString unreadableSettingsKey = QStringLiteral("ptt.settings.v1.unreadable");

    explicit SettingsStore(KeyValueStore& defaults);

    // The stored settings, or the shared defaults when there are none or they no longer decode.
    PTTSettings load() const;

    // Stores the record. A stored record that no longer decodes is first kept aside under
    // unreadableSettingsKey, so a newer version's settings are never silently destroyed.
    // A failure to store it is kept for takeWriteError(); the record stays in memory.
    void save(const PTTSettings& settings);
    // The failure of the last save, once.
    std::optional<PTTError> takeWriteError();

    bool isSetupCompleted() const;
    void markSetupCompleted();

    KeyValueStore& defaults() const { return m_defaults; }

private:
    KeyValueStore& m_defaults;
    std::optional<PTTError> m_writeError;
};
