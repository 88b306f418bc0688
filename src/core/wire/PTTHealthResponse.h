#pragma once

#include "core/common/Result.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Answer of GET /v1/ptt/health. "groqConfigured" says whether an upstream recogniser and language
// model are configured; "engine" ("local" or "openai") names the recogniser that answers and
// "upstreamHost" the host of the OpenAI-compatible service, when one is configured. Servers before
// those two keys leave them out.
struct PTTHealthResponse {
    PTTHealthResponse() = default;
    // The five keys every server sends, in their order on the wire.
    PTTHealthResponse(bool isOk, QString serviceName, bool upstreamConfigured, bool hasAuth,
                      QString serviceVersion)
        : ok(isOk)
        , service(std::move(serviceName))
        , groqConfigured(upstreamConfigured)
        , authConfigured(hasAuth)
        , version(std::move(serviceVersion)) {}

    bool ok = false;
    QString service;
    bool groqConfigured = false;
    bool authConfigured = false;
    QString version;
    std::optional<QString> engine;
    std::optional<QString> upstreamHost;

    friend bool operator==(const PTTHealthResponse&, const PTTHealthResponse&) = default;

    QByteArray toJson() const;
    static Result<PTTHealthResponse> fromJson(const QByteArray& json);
};
