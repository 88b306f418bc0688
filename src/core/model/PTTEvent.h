#pragma once

#include "core/common/Result.h"
#include "core/model/PTTState.h"

#include <QByteArray>
#include <QString>
#include <QUuid>

#include <optional>

// The most recent dictation outcome, as the views show it. Every event has an identity of its own.
struct PTTEvent {
    QUuid id;
    PTTState state = PTTState::idle;
    std::optional<QString> transcript;
    std::optional<QString> error;
    std::optional<qint64> durationMs;
    std::optional<QString> sourceApp;

    friend bool operator==(const PTTEvent&, const PTTEvent&) = default;

    // A new event with a fresh random id.
    static PTTEvent make(PTTState state, std::optional<QString> transcript = std::nullopt,
                         std::optional<QString> error = std::nullopt,
                         std::optional<qint64> durationMs = std::nullopt,
                         std::optional<QString> sourceApp = std::nullopt);

    QByteArray toJson() const;
    static Result<PTTEvent> fromJson(const QByteArray& json);
};
