#include "core/model/PTTSettings.h"

#include "core/common/ErrorDomain.h"
#include "core/common/JsonFields.h"

#include <QUuid>

#include <nlohmann/json.hpp>

using nlohmann::ordered_json;

namespace {

QString newDeviceToken() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

PolishLevel decodePolishLevel(const ordered_json& object) {
    if (const auto raw = JsonFields::optionalString(object, "polishLevel"); raw && raw->ok()) {
        if (const auto level = fromRawValue<PolishLevel>(raw->value())) {
            return *level;
        }
    }
    // Settings written before the polish levels existed had an on/off switch.
    const auto legacy = object.find("autoEditEnabled");
    if (legacy != object.end() && legacy->is_boolean() && !legacy->get<bool>()) {
        return PolishLevel::off;
    }
    return PolishLevel::medium;
}

template <typename E>
Result<E> decodeEnumWithDefault(const ordered_json& object, const char* key, E fallback) {
    const auto raw = JsonFields::optionalString(object, key);
    if (!raw) {
        return fallback;
    }
    if (!raw->ok()) {
        return raw->error();
    }
    if (const auto value = fromRawValue<E>(raw->value())) {
        return *value;
    }
    return JsonFields::invalid(key);
}

Result<HotkeyBinding> decodeHotkey(const ordered_json& object) {
    const auto found = object.find("hotkey");
    if (found == object.end() || !found->is_object()) {
        return JsonFields::invalid("hotkey");
    }
    const ordered_json& hotkey = *found;
    const auto keyCode = JsonFields::requiredInt64(hotkey, "keyCode");
    if (!keyCode) {
        return keyCode.error();
    }
    const auto modifiers = JsonFields::requiredUInt64(hotkey, "modifiersRawValue");
    if (!modifiers) {
        return modifiers.error();
    }
    const auto gesture = JsonFields::requiredString(hotkey, "gestureMode");
    if (!gesture) {
        return gesture.error();
    }
    const auto gestureMode = fromRawValue<GestureMode>(gesture.value());
    if (!gestureMode) {
        return JsonFields::invalid("gestureMode");
    }
    return HotkeyBinding{keyCode.value(), modifiers.value(), *gestureMode};
}

} // namespace

PTTSettings PTTSettings::makeDefault() {
    PTTSettings settings;
    settings.deviceToken = newDeviceToken();
    return settings;
}

const PTTSettings& PTTSettings::defaults() {
    static const PTTSettings shared = makeDefault();
    return shared;
}

QByteArray PTTSettings::toJson() const {
    ordered_json object;
    object["backendBaseURL"] = backendBaseURL.toStdString();
    object["deviceToken"] = deviceToken.toStdString();
    object["sttLanguage"] = sttLanguage.toStdString();
    object["primaryLanguage"] = primaryLanguage.toStdString();
    object["sttPrompt"] = sttPrompt.toStdString();
    object["polishLevel"] = rawValue(polishLevel).toStdString();
    object["autoSend"] = autoSend;
    object["noteMode"] = noteMode;
    if (notesPathBookmark) {
        object["notesPathBookmark"] = notesPathBookmark->toBase64().toStdString();
    }
    ordered_json hotkeyObject;
    hotkeyObject["keyCode"] = hotkey.keyCode;
    hotkeyObject["modifiersRawValue"] = hotkey.modifiersRawValue;
    hotkeyObject["gestureMode"] = rawValue(hotkey.gestureMode).toStdString();
    object["hotkey"] = std::move(hotkeyObject);
    object["useLocalTranscription"] = useLocalTranscription;
    object["promptPruningEnabled"] = promptPruningEnabled;
    object["promptPruneLevel"] = rawValue(promptPruneLevel).toStdString();
    object["promptPruneTarget"] = rawValue(promptPruneTarget).toStdString();
    return QByteArray::fromStdString(object.dump());
}

Result<PTTSettings> PTTSettings::fromJson(const QByteArray& json) {
    const auto parsed = JsonFields::parseObject(json);
    if (!parsed) {
        return parsed.error();
    }
    const ordered_json& object = parsed.value();

    PTTSettings settings;
    for (auto [key, field] :
         {std::pair{"backendBaseURL", &settings.backendBaseURL},
          std::pair{"deviceToken", &settings.deviceToken}, std::pair{"sttLanguage", &settings.sttLanguage},
          std::pair{"primaryLanguage", &settings.primaryLanguage},
          std::pair{"sttPrompt", &settings.sttPrompt}}) {
        auto text = JsonFields::requiredString(object, key);
        if (!text) {
            return text.error();
        }
        *field = std::move(text).value();
    }

    if (settings.backendBaseURL == formerDefaultBackendBaseURL ||
        settings.backendBaseURL == formerDefaultBackendBaseURL + QLatin1Char('/')) {
        settings.backendBaseURL = defaultBackendBaseURL; // the server moved with it
    }

    settings.polishLevel = decodePolishLevel(object);

    for (auto [key, field] :
         {std::pair{"autoSend", &settings.autoSend}, std::pair{"noteMode", &settings.noteMode}}) {
        const auto flag = JsonFields::requiredBool(object, key);
        if (!flag) {
            return flag.error();
        }
        *field = flag.value();
    }

    if (const auto bookmark = JsonFields::optionalString(object, "notesPathBookmark")) {
        if (!bookmark->ok()) {
            return bookmark->error();
        }
        const auto decoded = JsonFields::strictBase64(bookmark->value());
        if (!decoded) {
            return JsonFields::invalid("notesPathBookmark");
        }
        settings.notesPathBookmark = *decoded;
    }

    auto hotkey = decodeHotkey(object);
    if (!hotkey) {
        return hotkey.error();
    }
    settings.hotkey = hotkey.value();

    for (auto [key, field] : {std::pair{"useLocalTranscription", &settings.useLocalTranscription},
                              std::pair{"promptPruningEnabled", &settings.promptPruningEnabled}}) {
        const auto flag = JsonFields::optionalBool(object, key);
        if (flag && !flag->ok()) {
            return flag->error();
        }
        *field = flag ? flag->value() : false;
    }

    const auto pruneLevel = decodeEnumWithDefault(object, "promptPruneLevel", PromptPruneLevel::medium);
    if (!pruneLevel) {
        return pruneLevel.error();
    }
    settings.promptPruneLevel = pruneLevel.value();

    const auto pruneTarget = decodeEnumWithDefault(object, "promptPruneTarget", PromptPruneTarget::universal);
    if (!pruneTarget) {
        return pruneTarget.error();
    }
    settings.promptPruneTarget = pruneTarget.value();

    return settings;
}
