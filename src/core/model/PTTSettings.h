#pragma once

#include "core/common/Result.h"
#include "core/model/HotkeyBinding.h"
#include "core/model/PolishLevel.h"
#include "core/model/PromptPruneLevel.h"
#include "core/model/PromptPruneTarget.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The whole user configuration. Stored as one JSON document whose keys follow the field order.
struct PTTSettings {
    // The orlavo-server of this machine: a fresh install dictates offline, with no account.
    static inline const QString defaultBackendBaseURL = QStringLiteral("http://127.0.0.1:27321");
    // The default of earlier releases, inside the ephemeral port range; read as the current one.
    static inline const QString formerDefaultBackendBaseURL = QStringLiteral("http://127.0.0.1:47321");

    QString backendBaseURL = defaultBackendBaseURL;
    QString deviceToken;
    QString sttLanguage;
    QString primaryLanguage = QStringLiteral("auto");
    QString sttPrompt;
    PolishLevel polishLevel = PolishLevel::medium;
    bool autoSend = false;
    bool noteMode = false;
    std::optional<QByteArray> notesPathBookmark;
    HotkeyBinding hotkey;
    bool useLocalTranscription = false;
    bool promptPruningEnabled = false;
    PromptPruneLevel promptPruneLevel = PromptPruneLevel::medium;
    PromptPruneTarget promptPruneTarget = PromptPruneTarget::universal;

    friend bool operator==(const PTTSettings&, const PTTSettings&) = default;

    // Default settings with a newly generated device token.
    static PTTSettings makeDefault();

    // The process-wide default value: built on first use, then the same (token included) for the
    // rest of the run. It becomes permanent only when saved.
    static const PTTSettings& defaults();

    // The stored form: compact UTF-8 JSON, keys in field order, the bookmark as Base64 and only
    // when present.
    QByteArray toJson() const;

    // Reads the stored form, tolerating unknown keys, the missing keys added after the first
    // release and the legacy "autoEditEnabled" flag. Anything else malformed is an error.
    static Result<PTTSettings> fromJson(const QByteArray& json);
};
