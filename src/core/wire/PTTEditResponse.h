#pragma once

#include "core/common/Result.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Answer of POST /v1/ptt/edit.
struct PTTEditResponse {
    std::optional<QString> text;
    QString requestId;

    friend bool operator==(const PTTEditResponse&, const PTTEditResponse&) = default;

    QByteArray toJson() const;
    static Result<PTTEditResponse> fromJson(const QByteArray& json);
};
