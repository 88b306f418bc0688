#include "server/service/EngineFactory.h"

#include "core/backend/UpstreamAddress.h"
#include "server/engines/LocalSpeechEngine.h"
#include "server/engines/UpstreamChatEngine.h"
#include "server/engines/UpstreamTranscriptionEngine.h"

#include <chrono>
#include <cmath>

namespace EngineFactory {

Result<ServiceEngines> build(const ServerConfig& config, std::shared_ptr<TranscriptionEngine> reusableLocal) {
    ServiceEngines engines;
    engines.kind = config.engine;
    std::shared_ptr<UpstreamClient> upstream;
    if (config.hasUpstream()) {
        upstream = std::make_shared<UpstreamClient>(config.upstreamUrl, config.upstreamKey,
                                                    config.upstreamTimeoutSeconds);
        engines.upstreamHost =
            UpstreamAddress::host(QString::fromStdString(config.upstreamUrl)).toStdString();
    }
    std::shared_ptr<TranscriptionEngine> upstreamTranscription;
    if (upstream && config.hasUpstreamTranscription()) {
        upstreamTranscription =
            std::make_shared<UpstreamTranscriptionEngine>(upstream, config.transcribeModel);
    }
    if (config.engine == TranscriptionEngineKind::local) {
        if (reusableLocal) {
            engines.transcription = std::move(reusableLocal);
        } else {
            auto local = LocalSpeechEngine::create(
                config.localModelDirectory, config.decoderCount(),
                std::chrono::milliseconds(std::llround(config.decoderWaitSeconds * 1000)));
            if (!local) {
                return local.error();
            }
            engines.transcription = std::move(local).value();
        }
    } else {
        engines.transcription = upstreamTranscription;
    }
    engines.otherLanguages = upstreamTranscription;
    if (upstream && config.hasChatEngine()) {
        engines.chat = std::make_shared<UpstreamChatEngine>(upstream, config.editModel);
    }
    return engines;
}

bool sameLocalEngine(const ServerConfig& a, const ServerConfig& b) {
    return a.engine == TranscriptionEngineKind::local && b.engine == TranscriptionEngineKind::local &&
           a.localModelDirectory == b.localModelDirectory && a.decoderCount() == b.decoderCount() &&
           a.decoderWaitSeconds == b.decoderWaitSeconds;
}

} // namespace EngineFactory
