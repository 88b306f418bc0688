#pragma once

#include "core/common/Result.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Answer of POST /v1/ptt/transcribe.
struct PTTTranscribeResponse {
    std::optional<QString> text;
    std::optional<QString> language;
    std::optional<double> durationSeconds;
    QString requestId;

    friend bool operator==(const PTTTranscribeResponse&, const PTTTranscribeResponse&) = default;

    QByteArray toJson() const;
    static Result<PTTTranscribeResponse> fromJson(const QByteArray& json);
};
