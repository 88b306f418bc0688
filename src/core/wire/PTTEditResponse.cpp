#include "core/wire/PTTEditResponse.h"

#include "core/common/JsonFields.h"

using nlohmann::ordered_json;

QByteArray PTTEditResponse::toJson() const {
    ordered_json object;
    if (text) {
        object["text"] = text->toStdString();
    }
    object["requestId"] = requestId.toStdString();
    return QByteArray::fromStdString(object.dump());
}

Result<PTTEditResponse> PTTEditResponse::fromJson(const QByteArray& json) {
    const auto parsed = JsonFields::parseObject(json);
    if (!parsed) {
        return parsed.error();
    }
    PTTEditResponse response;
    if (auto text = JsonFields::optionalString(parsed.value(), "text")) {
        if (!text->ok()) {
            return text->error();
        }
        response.text = std::move(*text).value();
    }
    auto requestId = JsonFields::requiredString(parsed.value(), "requestId");
    if (!requestId) {
        return requestId.error();
    }
    response.requestId = std::move(requestId).value();
    return response;
}
