#include "core/wire/PTTTranscribeResponse.h"

#include "core/common/JsonFields.h"

using nlohmann::ordered_json;

QByteArray PTTTranscribeResponse::toJson() const {
    ordered_json object;
    if (text) {
        object["text"] = text->toStdString();
    }
    if (language) {
        object["language"] = language->toStdString();
    }
    if (durationSeconds) {
        object["durationSeconds"] = *durationSeconds;
    }
    object["requestId"] = requestId.toStdString();
    return QByteArray::fromStdString(object.dump());
}

Result<PTTTranscribeResponse> PTTTranscribeResponse::fromJson(const QByteArray& json) {
    const auto parsed = JsonFields::parseObject(json);
    if (!parsed) {
        return parsed.error();
    }
    const ordered_json& object = parsed.value();
    PTTTranscribeResponse response;
    for (auto [key, field] : {std::pair{"text", &response.text}, std::pair{"language", &response.language}}) {
        if (auto value = JsonFields::optionalString(object, key)) {
            if (!value->ok()) {
                return value->error();
            }
            *field = std::move(*value).value();
        }
    }
    if (const auto duration = JsonFields::optionalDouble(object, "durationSeconds")) {
        if (!duration->ok()) {
            return duration->error();
        }
        response.durationSeconds = duration->value();
    }
    auto requestId = JsonFields::requiredString(object, "requestId");
    if (!requestId) {
        return requestId.error();
    }
    response.requestId = std::move(requestId).value();
    return response;
}
