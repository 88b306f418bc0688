#pragma once

#include "server/engines/TranscriptionEngine.h"
#include "server/engines/UpstreamClient.h"

#include <memory>

// Transcription through an OpenAI-compatible "/audio/transcriptions" endpoint: the clip as a
// 16 kHz WAV file, the model, the language code when the hint names one, the prompt when given.
class UpstreamTranscriptionEngine final : public TranscriptionEngine {
public:
    UpstreamTranscriptionEngine(std::shared_ptr<UpstreamClient> client, std::string model);

    Result<Transcript> transcribe(const TranscriptionJob& job) override;
    std::string describe() const override;

private:
    std::shared_ptr<UpstreamClient> m_client;
    std::string m_model;
};
