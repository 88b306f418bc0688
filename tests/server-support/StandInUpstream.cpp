#include "StandInUpstream.h"

StandInUpstream::StandInUpstream() {
    reset();
    const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
        handle(request, response);
    };
    m_server.Get(".*", handler);
    m_server.Post(".*", handler);
    m_port = m_server.bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    // A stop() that comes before the listening loop has started is lost, and the destructor would hang.
    while (m_port > 0 && !m_server.is_running()) {
        std::this_thread::yield();
    }
}

StandInUpstream::~StandInUpstream() {
    {
        const std::lock_guard lock(m_mutex);
        m_releasing = true;
    }
    m_released.notify_all();
    m_server.stop();
    m_thread.join();
}

void StandInUpstream::failWith(const std::string& path, int status, const std::string& body) {
    const std::lock_guard lock(m_mutex);
    m_failures[path] = {status, body};
}

void StandInUpstream::reset() {
    const std::lock_guard lock(m_mutex);
    m_failures.clear();
    m_chatReply = [](const nlohmann::json&) { return std::string("EDITED"); };
}

void StandInUpstream::setChatReply(std::function<std::string(const nlohmann::json&)> reply) {
    const std::lock_guard lock(m_mutex);
    m_chatReply = std::move(reply);
}

std::size_t StandInUpstream::requestCount() const {
    const std::lock_guard lock(m_mutex);
    return m_requests.size();
}

StandInUpstream::Recorded StandInUpstream::lastRequest() const {
    const std::lock_guard lock(m_mutex);
    return m_requests.empty() ? Recorded{} : m_requests.back();
}

void StandInUpstream::handle(const httplib::Request& request, httplib::Response& response) {
    std::unique_lock lock(m_mutex);
    Recorded recorded{request.method, request.path, request.headers, request.body, {}};
    for (const auto& [name, part] : request.files) {
        recorded.form[name] = part;
    }
    m_requests.push_back(recorded);

    if (const auto found = m_failures.find(request.path); found != m_failures.end()) {
        const auto [status, body] = found->second;
        if (status == 0) {
            m_released.wait(lock, [this] { return m_releasing; });
        }
        response.status = status == 0 ? 503 : status;
        response.set_content(body, "application/json");
        return;
    }
    if (request.path == "/v1/audio/transcriptions") {
        response.set_content(R"({"text":"upstream transcript"})", "application/json");
    } else if (request.path == "/v1/chat/completions") {
        const auto body = nlohmann::json::parse(request.body, nullptr, false);
        const std::string text = m_chatReply(body);
        const nlohmann::json answer = {
            {"id", "chatcmpl-1"},
            {"object", "chat.completion"},
            {"choices", {{{"index", 0}, {"message", {{"role", "assistant"}, {"content", text}}}}}}};
        response.set_content(answer.dump(), "application/json");
    } else if (request.path == "/v1/models") {
        response.set_content(R"({"data":[{"id":"whisper-1"},{"id":"stand-in-chat"}]})", "application/json");
    } else {
        response.status = 404;
        response.set_content(R"({"error":{"message":"no such route"}})", "application/json");
    }
}
