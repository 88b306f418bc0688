#include "server/service/ServiceReloader.h"

#include "server/service/EngineFactory.h"
#include "server/service/ServiceError.h"

ServiceReloader::ServiceReloader(QString configPath, ServerConfig::Environment environment,
                                 ServerConfig active, LiveEngines& engines, Log log)
    : m_configPath(std::move(configPath))
    , m_environment(std::move(environment))
    , m_engines(engines)
    , m_log(std::move(log))
    , m_active(std::move(active)) {}

Result<void> ServiceReloader::reload() {
    const std::lock_guard lock(m_mutex);
    auto loaded = ServerConfig::load(m_configPath, m_environment);
    if (!loaded) {
        return refusal(loaded.error().description);
    }
    const ServerConfig& config = loaded.value();
    for (const std::string& warning : config.warnings) {
        m_log(warning);
    }
    const auto current = m_engines.current();
    auto engines = EngineFactory::build(
        config, EngineFactory::sameLocalEngine(m_active, config) ? current->transcription : nullptr);
    if (!engines) {
        return refusal(engines.error().description);
    }
    const std::string summary =
        "reloaded " + m_configPath.toStdString() + ": transcription " + engines->transcription->describe() +
        ", edits " + (engines->chat ? engines->chat->describe() : std::string("off (no upstream)"));
    m_engines.replace(std::move(engines).value());
    m_active = config;
    m_log(summary);
    return Result<void>::success();
}

PTTError ServiceReloader::refusal(const QString& reason) const {
    const auto current = m_engines.current();
    const std::string still = current->kind == TranscriptionEngineKind::local
                                  ? "the offline recogniser"
                                  : "the OpenAI-compatible service at " + current->upstreamHost;
    const PTTError error =
        ServiceError::make(HttpStatus::unprocessableContent,
                           "not reloaded: " + reason.toStdString() + "; still transcribing with " + still);
    m_log(ServiceError::reason(error));
    return error;
}
