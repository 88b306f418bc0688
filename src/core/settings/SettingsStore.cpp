#include "core/settings/SettingsStore.h"

#include "core/common/ErrorCode.h"
#include "core/common/FileError.h"
#include "core/ports/KeyValueStore.h"

#include <utility>

SettingsStore::SettingsStore(KeyValueStore& defaults)
    : m_defaults(defaults) {}

PTTSettings SettingsStore::load() const {
    const auto stored = m_defaults.data(settingsKey);
    if (!stored) {
        return PTTSettings::defaults();
    }
    auto decoded = PTTSettings::fromJson(*stored);
    return decoded ? std::move(decoded).value() : PTTSettings::defaults();
}

void SettingsStore::save(const PTTSettings& settings) {
    if (const auto previous = m_defaults.value(settingsKey)) {
        const QByteArray* bytes = std::get_if<QByteArray>(&*previous);
        if (!bytes || !PTTSettings::fromJson(*bytes)) {
            m_defaults.setValue(unreadableSettingsKey, *previous);
        }
    }
    m_defaults.setData(settingsKey, settings.toJson());
    if (const auto failure = m_defaults.lastWriteFailure()) {
        m_writeError = makeError(FileError::writeUnknown, *failure);
    } else {
        m_writeError.reset();
    }
}

std::optional<PTTError> SettingsStore::takeWriteError() {
    return std::exchange(m_writeError, std::nullopt);
}

bool SettingsStore::isSetupCompleted() const {
    return m_defaults.boolean(setupCompletedKey);
}

void SettingsStore::markSetupCompleted() {
    m_defaults.setBool(setupCompletedKey, true);
}
