#include "core/wire/PTTHealthResponse.h"

#include "core/common/JsonFields.h"

using nlohmann::ordered_json;

QByteArray PTTHealthResponse::toJson() const {
    ordered_json object;
    object["ok"] = ok;
    object["service"] = service.toStdString();
    object["groqConfigured"] = groqConfigured;
    object["authConfigured"] = authConfigured;
    object["version"] = version.toStdString();
    if (engine) {
        object["engine"] = engine->toStdString();
    }
    if (upstreamHost) {
        object["upstreamHost"] = upstreamHost->toStdString();
    }
    return QByteArray::fromStdString(object.dump());
}

Result<PTTHealthResponse> PTTHealthResponse::fromJson(const QByteArray& json) {
    const auto parsed = JsonFields::parseObject(json);
    if (!parsed) {
        return parsed.error();
    }
    const ordered_json& object = parsed.value();
    PTTHealthResponse response;
    for (auto [key, field] :
         {std::pair{"ok", &response.ok}, std::pair{"groqConfigured", &response.groqConfigured},
          std::pair{"authConfigured", &response.authConfigured}}) {
        const auto flag = JsonFields::requiredBool(object, key);
        if (!flag) {
            return flag.error();
        }
        *field = flag.value();
    }
    for (auto [key, field] :
         {std::pair{"service", &response.service}, std::pair{"version", &response.version}}) {
        auto text = JsonFields::requiredString(object, key);
        if (!text) {
            return text.error();
        }
        *field = std::move(text).value();
    }
    // Descriptive only: a value of another type is ignored like an unknown key, not a failed check.
    for (auto [key, field] :
         {std::pair{"engine", &response.engine}, std::pair{"upstreamHost", &response.upstreamHost}}) {
        if (auto text = JsonFields::optionalString(object, key); text && text->ok()) {
            *field = text->value();
        }
    }
    return response;
}
