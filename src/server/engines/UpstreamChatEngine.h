#pragma once

#include "server/engines/ChatEngine.h"
#include "server/engines/UpstreamClient.h"

#include <memory>

// Edits through an OpenAI-compatible "/chat/completions" endpoint: a system message with the
// instructions, a user message with the text, temperature 0 so the same dictation gives the
// same edit.
class UpstreamChatEngine final : public ChatEngine {
public:
    UpstreamChatEngine(std::shared_ptr<UpstreamClient> client, std::string model);

    Result<std::string> complete(const ChatPrompt& prompt) override;
    std::string describe() const override;

private:
    std::shared_ptr<UpstreamClient> m_client;
    std::string m_model;
};
