#pragma once

#include "core/common/Result.h"
#include "core/wire/PTTEditMode.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Body of POST /v1/ptt/edit. Absent fields are left out of the JSON.
struct PTTEditRequest {
    PTTEditMode mode = PTTEditMode::selfCorrection;
    QString inputText;
    std::optional<QString> originalText;
    std::optional<QString> sourceApp;
    std::optional<QString> polishLevel;
    std::optional<QString> pruneLevel;
    std::optional<QString> targetModel;

    friend bool operator==(const PTTEditRequest&, const PTTEditRequest&) = default;

    QByteArray toJson() const;
    static Result<PTTEditRequest> fromJson(const QByteArray& json);
};
