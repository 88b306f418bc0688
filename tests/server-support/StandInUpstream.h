#pragma once

#include <condition_variable>
#include <httplib.h>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

// An OpenAI-compatible API on loopback that records what it is sent and answers what the test
// tells it: transcriptions echo a fixed text, chat completions answer through `chatReply`, and any
// path can be told to fail.
class StandInUpstream final {
public:
    struct Recorded {
        std::string method;
        std::string path;
        httplib::Headers headers;
        std::string body;
        std::map<std::string, httplib::MultipartFormData> form;
    };

    StandInUpstream();
    ~StandInUpstream();
    StandInUpstream(const StandInUpstream&) = delete;
    StandInUpstream& operator=(const StandInUpstream&) = delete;

    std::string baseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/v1"; }

    // Every later request to `path` (e.g. "/v1/chat/completions") answers `status` and `body`;
    // with status 0 it gets no answer until the stand-in is destroyed.
    void failWith(const std::string& path, int status, const std::string& body = {});
    // Forgets the failures and chat reply set so far.
    void reset();
    // What the chat model answers, from the request it got; by default "EDITED".
    void setChatReply(std::function<std::string(const nlohmann::json& request)> reply);

    std::size_t requestCount() const;
    Recorded lastRequest() const;

private:
    void handle(const httplib::Request& request, httplib::Response& response);

    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_releasing = false;
    std::vector<Recorded> m_requests;
    std::map<std::string, std::pair<int, std::string>> m_failures;
    std::function<std::string(const nlohmann::json&)> m_chatReply;
};
