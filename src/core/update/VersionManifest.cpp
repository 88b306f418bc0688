#include "core/update/VersionManifest.h"

#include "core/common/JsonFields.h"

using nlohmann::ordered_json;

QByteArray VersionManifest::toJson() const {
    ordered_json object;
    object["version"] = version.toStdString();
    const auto putOptional = [&object](const char* key, const std::optional<QString>& value) {
        if (value) {
            object[key] = value->toStdString();
        }
    };
    putOptional("build", build);
    putOptional("minimumOS", minimumOS);
    putOptional("sha256", sha256);
    if (size) {
        object["size"] = *size;
    }
    putOptional("release_notes", releaseNotes);
    object["download_url"] = downloadURL.toStdString();
    return QByteArray::fromStdString(object.dump());
}

Result<VersionManifest> VersionManifest::fromJson(const QByteArray& json) {
    const auto parsed = JsonFields::parseObject(json);
    if (!parsed) {
        return parsed.error();
    }
    const ordered_json& object = parsed.value();
    VersionManifest manifest;
    for (auto [key, field] :
         {std::pair{"version", &manifest.version}, std::pair{"download_url", &manifest.downloadURL}}) {
        auto text = JsonFields::requiredString(object, key);
        if (!text) {
            return text.error();
        }
        *field = std::move(text).value();
    }
    for (auto [key, field] :
         {std::pair{"build", &manifest.build}, std::pair{"minimumOS", &manifest.minimumOS},
          std::pair{"sha256", &manifest.sha256}, std::pair{"release_notes", &manifest.releaseNotes}}) {
        if (auto text = JsonFields::optionalString(object, key)) {
            if (!*text) {
                return text->error();
            }
            *field = std::move(*text).value();
        }
    }
    if (const auto size = JsonFields::optionalInt64(object, "size")) {
        if (!*size) {
            return size->error();
        }
        manifest.size = size->value();
    }
    return manifest;
}
