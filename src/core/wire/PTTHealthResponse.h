#pragma once

#include "core/common/Result.h"

#include <QByteArray>
#include <QString>

// Answer of GET /v1/ptt/health. "groqConfigured" says whether an upstream recogniser and language
// model are configured.
struct PTTHealthResponse {
    bool ok = false;
    QString service;
    bool groqConfigured = false;
    bool authConfigured = false;
    QString version;

    friend bool operator==(const PTTHealthResponse&, const PTTHealthResponse&) = default;

    QByteArray toJson() const;
    static Result<PTTHealthResponse> fromJson(const QByteArray& json);
};
