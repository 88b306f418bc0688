#include "server/engines/UpstreamTranscriptionEngine.h"

#include "server/service/ServiceError.h"
#include "server/wav/WavEncoder.h"

#include <nlohmann/json.hpp>

UpstreamTranscriptionEngine::UpstreamTranscriptionEngine(std::shared_ptr<UpstreamClient> client,
                                                         std::string model)
    : m_client(std::move(client))
    , m_model(std::move(model)) {}

Result<Transcript> UpstreamTranscriptionEngine::transcribe(const TranscriptionJob& job) {
    const std::string wav = WavEncoder::encode(job.audio);
    std::vector<FormPart> parts{
        {"model", m_model, {}, {}},
        {"response_format", "json", {}, {}},
        {"file", wav, "audio.wav", "audio/wav"},
    };
    if (!job.language.code().empty()) {
        parts.push_back({"language", job.language.code(), {}, {}});
    }
    if (!job.prompt.empty()) {
        parts.push_back({"prompt", job.prompt, {}, {}});
    }
    auto body = m_client->postForm("/audio/transcriptions", parts);
    if (!body) {
        return body.error();
    }
    const auto parsed = nlohmann::json::parse(body.value(), nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object() || !parsed.contains("text") ||
        !parsed["text"].is_string()) {
        return ServiceError::make(HttpStatus::badGateway, "upstream answered without a transcript");
    }
    Transcript transcript{parsed["text"].get<std::string>(), std::nullopt};
    if (!job.language.code().empty()) {
        transcript.language = job.language.code();
    } else if (parsed.contains("language") && parsed["language"].is_string()) {
        transcript.language = parsed["language"].get<std::string>();
    }
    return transcript;
}

std::string UpstreamTranscriptionEngine::describe() const {
    return "openai (model " + m_model + " at " + m_client->shownUrl() + ")";
}
