#include "server/config/ServerConfig.h"

#include "core/backend/UpstreamAddress.h"
#include "core/common/ErrorCode.h"
#include "core/common/ErrorDomain.h"
#include "core/common/FileError.h"
#include "core/common/JsonFields.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <thread>

#ifndef ORLAVO_SPHINX_MODEL_DIR
#define ORLAVO_SPHINX_MODEL_DIR "/usr/share/pocketsphinx/model"
#endif

namespace {

using nlohmann::ordered_json;

const char* const knownKeys[] = {"listen",
                                 "token",
                                 "engine",
                                 "upstreamUrl",
                                 "upstreamKey",
                                 "transcribeModel",
                                 "editModel",
                                 "upstreamTimeoutSeconds",
                                 "localModelDirectory",
                                 "localDecoders",
                                 "decoderWaitSeconds",
                                 "maxAudioBytes",
                                 "maxEditBytes",
                                 "requestTimeoutSeconds",
                                 "workers"};

// A key in a file that others can read is no longer a secret: the file is made the owner's
// alone, or the configuration is refused.
std::optional<PTTError> protectKeyFile(const QString& path, std::vector<std::string>& warnings) {
    QFile file(path);
    const auto others =
        QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (!(file.permissions() & others)) {
        return std::nullopt;
    }
    if (!file.setPermissions(file.permissions() &
                             ~(others | QFileDevice::ExeGroup | QFileDevice::ExeOther))) {
        return makeError(
            FileError::failed,
            QStringLiteral("%1: holds an upstream key but others may read it, and its mode cannot "
                           "be changed (%2); make it readable by you alone (chmod 600)")
                .arg(path, file.errorString()));
    }
    warnings.push_back(path.toStdString() +
                       ": holds an upstream key and others could read it; it is now readable by you alone");
    return std::nullopt;
}

PTTError configError(const QString& path, const QString& what) {
    return makeError(FileError::failed, QStringLiteral("%1: %2").arg(path, what));
}

class Reader {
public:
    Reader(const ordered_json& object, const QString& path)
        : m_object(object)
        , m_path(path) {}

    std::optional<PTTError> text(const char* key, std::string& target) {
        if (auto value = JsonFields::optionalString(m_object, key)) {
            if (!value->ok()) {
                return expected(key, "a string");
            }
            target = value->value().toStdString();
        }
        return std::nullopt;
    }

    std::optional<PTTError> number(const char* key, double& target, double minimum, double maximum) {
        if (auto value = JsonFields::optionalDouble(m_object, key)) {
            if (!value->ok() || !(value->value() >= minimum && value->value() <= maximum)) {
                return expected(key, QStringLiteral("a number from %1 to %2").arg(minimum).arg(maximum));
            }
            target = value->value();
        }
        return std::nullopt;
    }

    template <typename Integer>
    std::optional<PTTError> integer(const char* key, Integer& target, qint64 minimum, qint64 maximum) {
        if (auto value = JsonFields::optionalInt64(m_object, key)) {
            if (!value->ok() || value->value() < minimum || value->value() > maximum) {
                return expected(key,
                                QStringLiteral("a whole number from %1 to %2").arg(minimum).arg(maximum));
            }
            target = Integer(value->value());
        }
        return std::nullopt;
    }

private:
    PTTError expected(const char* key, const QString& kind) const {
        return configError(m_path, QStringLiteral("\"%1\" must be %2").arg(QString::fromUtf8(key), kind));
    }

    const ordered_json& m_object;
    const QString& m_path;
};

std::optional<PTTError> readFile(const QString& path, ServerConfig& config,
                                 std::optional<std::string>& engine) {
    QFile file(path);
    if (!file.exists()) {
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return configError(path, file.errorString());
    }
    const QByteArray bytes = file.readAll();
    const auto parsed = ordered_json::parse(bytes.cbegin(), bytes.cend(), nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object()) {
        return configError(path, QStringLiteral("not a JSON object"));
    }
    for (const auto& [key, value] : parsed.items()) {
        if (std::find(std::begin(knownKeys), std::end(knownKeys), key) == std::end(knownKeys)) {
            config.warnings.push_back(path.toStdString() + ": ignoring the unknown key \"" + key + "\"");
        }
    }

    if (const auto key = JsonFields::optionalString(parsed, "upstreamKey");
        key && key->ok() && !key->value().isEmpty()) {
        if (auto refused = protectKeyFile(path, config.warnings)) {
            return refused;
        }
    }

    Reader reader(parsed, path);
    std::string listen;
    std::string token;
    std::string engineText;
    for (auto failure :
         {reader.text("listen", listen), reader.text("token", token), reader.text("engine", engineText),
          reader.text("upstreamUrl", config.upstreamUrl), reader.text("upstreamKey", config.upstreamKey),
          reader.text("transcribeModel", config.transcribeModel), reader.text("editModel", config.editModel),
          reader.text("localModelDirectory", config.localModelDirectory),
          reader.number("upstreamTimeoutSeconds", config.upstreamTimeoutSeconds, 1, 600),
          reader.number("requestTimeoutSeconds", config.requestTimeoutSeconds, 0.1, 600),
          reader.number("decoderWaitSeconds", config.decoderWaitSeconds, 0.1, 600),
          reader.integer("localDecoders", config.localDecoders, 0, 64),
          reader.integer("maxAudioBytes", config.maxAudioBytes, 1024, qint64(1) << 30),
          reader.integer("maxEditBytes", config.maxEditBytes, 1024, qint64(64) << 20),
          reader.integer("workers", config.workers, 2, 256)}) {
        if (failure) {
            return failure;
        }
    }
    if (!listen.empty()) {
        const auto address = ListenAddress::parse(listen);
        if (!address) {
            return configError(path, QStringLiteral("\"listen\" must be HOST:PORT"));
        }
        config.listen = *address;
        if (config.listen == ListenAddress{"127.0.0.1", ListenAddress::formerDefaultPort}) {
            // The app's default moved with the server's; keeping the old port would part them.
            config.listen.port = ListenAddress::defaultPort;
            config.warnings.push_back(path.toStdString() + ": \"listen\" names the former default port " +
                                      std::to_string(ListenAddress::formerDefaultPort) + "; using " +
                                      config.listen.toString() + " instead");
        }
    }
    if (JsonFields::optionalString(parsed, "token")) {
        config.token = token;
    }
    if (!engineText.empty()) {
        engine = engineText;
    }
    return std::nullopt;
}

} // namespace

int ServerConfig::decoderCount() const {
    if (localDecoders > 0) {
        return localDecoders;
    }
    return int(std::max(1u, std::thread::hardware_concurrency()));
}

ServerConfig ServerConfig::defaults() {
    ServerConfig config;
    config.localModelDirectory = ORLAVO_SPHINX_MODEL_DIR "/en-us";
    return config;
}

Result<ServerConfig> ServerConfig::load(const QString& path, const Environment& environment) {
    ServerConfig config = defaults();
    std::optional<std::string> engine;
    if (auto failure = readFile(path, config, engine)) {
        return *failure;
    }

    const std::pair<const char*, std::string*> overrides[] = {
        {"ORLAVO_UPSTREAM_URL", &config.upstreamUrl},
        {"ORLAVO_UPSTREAM_KEY", &config.upstreamKey},
        {"ORLAVO_TRANSCRIBE_MODEL", &config.transcribeModel},
        {"ORLAVO_EDIT_MODEL", &config.editModel},
    };
    for (const auto& [name, field] : overrides) {
        if (auto value = environment(name); value && !value->empty()) {
            *field = *value;
        }
    }
    if (auto value = environment("ORLAVO_ENGINE"); value && !value->empty()) {
        engine = *value;
    }

    while (!config.upstreamUrl.empty() && config.upstreamUrl.back() == '/') {
        config.upstreamUrl.pop_back();
    }
    for (const char c : config.upstreamUrl + config.upstreamKey + config.transcribeModel + config.editModel) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return configError(path, QStringLiteral("the upstream settings hold a control character"));
        }
    }
    if (config.hasUpstream()) {
        if (auto problem = UpstreamAddress::problem(QString::fromStdString(config.upstreamUrl),
                                                    !config.upstreamKey.empty())) {
            return configError(path, *problem);
        }
    }
    if (config.token) {
        for (const char c : *config.token) {
            if (c <= 0x20 || c >= 0x7F) {
                return configError(path, QStringLiteral("\"token\" must be visible ASCII characters only"));
            }
        }
        if (config.token->empty()) {
            config.token.reset(); // "" means: use the token file
        }
    }

    // With an upstream configured, it is the better recogniser, so it answers unless told otherwise.
    config.engine = config.hasUpstream() ? TranscriptionEngineKind::openai : TranscriptionEngineKind::local;
    if (engine) {
        const auto kind = engineFromName(*engine);
        if (!kind) {
            return configError(path, QStringLiteral("the engine must be \"local\" or \"openai\", not \"%1\"")
                                         .arg(QString::fromStdString(*engine)));
        }
        config.engine = *kind;
    }
    if (config.engine == TranscriptionEngineKind::openai && !config.hasUpstreamTranscription()) {
        return configError(
            path, QStringLiteral("the openai engine needs an upstream URL and a transcription model"));
    }
    return config;
}

ServerConfig::Environment ServerConfig::processEnvironment() {
    return [](const char* name) -> std::optional<std::string> {
        if (const char* value = std::getenv(name)) {
            return std::string(value);
        }
        return std::nullopt;
    };
}
