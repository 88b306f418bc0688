#include "core/model/PTTEvent.h"

#include "core/common/JsonFields.h"

using nlohmann::ordered_json;

PTTEvent PTTEvent::make(PTTState state, std::optional<QString> transcript, std::optional<QString> error,
                        std::optional<qint64> durationMs, std::optional<QString> sourceApp) {
    return PTTEvent{QUuid::createUuid(), state,      std::move(transcript),
                    std::move(error),    durationMs, std::move(sourceApp)};
}

QByteArray PTTEvent::toJson() const {
    ordered_json object;
    object["id"] = id.toString(QUuid::WithoutBraces).toUpper().toStdString();
    object["state"] = rawValue(state).toStdString();
    if (transcript) {
        object["transcript"] = transcript->toStdString();
    }
    if (error) {
        object["error"] = error->toStdString();
    }
    if (durationMs) {
        object["durationMs"] = *durationMs;
    }
    if (sourceApp) {
        object["sourceApp"] = sourceApp->toStdString();
    }
    return QByteArray::fromStdString(object.dump());
}

Result<PTTEvent> PTTEvent::fromJson(const QByteArray& json) {
    const auto parsed = JsonFields::parseObject(json);
    if (!parsed) {
        return parsed.error();
    }
    const ordered_json& object = parsed.value();

    PTTEvent event;
    const auto id = JsonFields::requiredString(object, "id");
    if (!id) {
        return id.error();
    }
    event.id = QUuid::fromString(id.value());
    if (event.id.isNull()) {
        return JsonFields::invalid("id");
    }
    const auto state = JsonFields::requiredString(object, "state");
    if (!state) {
        return state.error();
    }
    const auto parsedState = fromRawValue<PTTState>(state.value());
    if (!parsedState) {
        return JsonFields::invalid("state");
    }
    event.state = *parsedState;

    for (auto [key, field] : {std::pair{"transcript", &event.transcript}, std::pair{"error", &event.error},
                              std::pair{"sourceApp", &event.sourceApp}}) {
        if (auto text = JsonFields::optionalString(object, key)) {
            if (!text->ok()) {
                return text->error();
            }
            *field = std::move(*text).value();
        }
    }
    if (const auto duration = JsonFields::optionalInt64(object, "durationMs")) {
        if (!duration->ok()) {
            return duration->error();
        }
        event.durationMs = duration->value();
    }
    return event;
}
