#include "core/wire/PTTEditRequest.h"

#include "core/common/JsonFields.h"

#include <array>

using nlohmann::ordered_json;

namespace {

template <typename Record>
auto optionalTextFields(Record& request) {
    return std::array{
        std::pair{"originalText", &request.originalText}, std::pair{"sourceApp", &request.sourceApp},
        std::pair{"polishLevel", &request.polishLevel}, std::pair{"pruneLevel", &request.pruneLevel},
        std::pair{"targetModel", &request.targetModel}};
}

} // namespace

QByteArray PTTEditRequest::toJson() const {
    ordered_json object;
    object["mode"] = rawValue(mode).toStdString();
    object["inputText"] = inputText.toStdString();
    for (const auto& [key, field] : optionalTextFields(*this)) {
        if (*field) {
            object[key] = (*field)->toStdString();
        }
    }
    return QByteArray::fromStdString(object.dump());
}

Result<PTTEditRequest> PTTEditRequest::fromJson(const QByteArray& json) {
    const auto parsed = JsonFields::parseObject(json);
    if (!parsed) {
        return parsed.error();
    }
    const ordered_json& object = parsed.value();

    PTTEditRequest request;
    const auto mode = JsonFields::requiredString(object, "mode");
    if (!mode) {
        return mode.error();
    }
    const auto parsedMode = fromRawValue<PTTEditMode>(mode.value());
    if (!parsedMode) {
        return JsonFields::invalid("mode");
    }
    request.mode = *parsedMode;

    auto input = JsonFields::requiredString(object, "inputText");
    if (!input) {
        return input.error();
    }
    request.inputText = std::move(input).value();

    for (const auto& [key, field] : optionalTextFields(request)) {
        if (auto text = JsonFields::optionalString(object, key)) {
            if (!text->ok()) {
                return text->error();
            }
            *field = std::move(*text).value();
        }
    }
    return request;
}
