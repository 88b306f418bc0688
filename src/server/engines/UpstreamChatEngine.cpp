#include "server/engines/UpstreamChatEngine.h"

#include "server/service/ServiceError.h"

#include <nlohmann/json.hpp>

UpstreamChatEngine::UpstreamChatEngine(std::shared_ptr<UpstreamClient> client, std::string model)
    : m_client(std::move(client))
    , m_model(std::move(model)) {}

Result<std::string> UpstreamChatEngine::complete(const ChatPrompt& prompt) {
    const nlohmann::json request = {
        {"model", m_model},
        {"temperature", 0},
        {"messages",
         {{{"role", "system"}, {"content", prompt.system}}, {{"role", "user"}, {"content", prompt.user}}}},
    };
    // Text from a recogniser can hold invalid UTF-8 only if a client sent it; replace rather than throw.
    auto body = m_client->postJson("/chat/completions",
                                   request.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    if (!body) {
        return body.error();
    }
    const auto parsed = nlohmann::json::parse(body.value(), nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object()) {
        return ServiceError::make(HttpStatus::badGateway, "upstream answered something that is not JSON");
    }
    const auto choices = parsed.find("choices");
    if (choices == parsed.end() || !choices->is_array() || choices->empty() || !(*choices)[0].is_object()) {
        return ServiceError::make(HttpStatus::badGateway, "upstream answered without a choice");
    }
    const auto& message = (*choices)[0].value("message", nlohmann::json::object());
    if (!message.is_object() || !message.contains("content") || !message["content"].is_string()) {
        return ServiceError::make(HttpStatus::badGateway, "upstream answered without message content");
    }
    return message["content"].get<std::string>();
}

std::string UpstreamChatEngine::describe() const {
    return "openai (model " + m_model + " at " + m_client->shownUrl() + ")";
}
