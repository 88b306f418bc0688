#pragma once

#include <QString>

#include <condition_variable>
#include <deque>
#include <httplib.h>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// A real HTTP server on a free loopback port, on a thread of its own, recording every request and
// answering from per-path scripts.
class LoopbackHttpServer final {
public:
    struct Request {
        std::string method;
        std::string path;
        httplib::Headers headers;
        std::string body;
        int remotePort = -1;

        std::optional<std::string> header(const std::string& name) const {
            const auto found = headers.find(name);
            return found == headers.end() ? std::nullopt : std::optional(found->second);
        }
    };

    struct Reply {
        int status = 200;
        std::string body;
        // Answer only when the server shuts down.
        bool stall = false;
        // Send the status, the headers and the body, then hold the connection open without
        // ending the answer.
        bool stallAfterBody = false;
    };

    LoopbackHttpServer() {
        const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
            Reply reply = answer(request);
            response.status = reply.status;
            if (!reply.stallAfterBody) {
                response.set_content(reply.body, "application/json");
                return;
            }
            response.set_chunked_content_provider(
                "application/json", [this, body = reply.body](std::size_t offset, httplib::DataSink& sink) {
                    if (offset == 0) {
                        sink.write(body.data(), body.size());
                        return true;
                    }
                    std::unique_lock lock(m_mutex);
                    m_released.wait(lock, [this] { return m_shuttingDown; });
                    return false;
                });
        };
        m_server.Get(".*", handler);
        m_server.Post(".*", handler);
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        // stop() before the loop runs would be lost, and the thread would never end.
        while (!m_server.is_running()) {
            std::this_thread::yield();
        }
    }

    ~LoopbackHttpServer() {
        {
            std::lock_guard lock(m_mutex);
            m_shuttingDown = true;
        }
        m_released.notify_all();
        m_server.stop();
        m_thread.join();
    }

    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    QString baseURL() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    int port() const { return m_port; }

    // The answer to every request.
    void reply(Reply reply) {
        std::lock_guard lock(m_mutex);
        m_default = std::move(reply);
        m_scripts.clear();
    }
    // Answers for one path, used in order before the default.
    void script(const std::string& path, std::deque<Reply> replies) {
        std::lock_guard lock(m_mutex);
        m_scripts[path] = std::move(replies);
    }

    std::vector<Request> seen() const {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }
    std::vector<Request> seen(const std::string& path) const {
        std::vector<Request> matching;
        for (Request& request : seen()) {
            if (request.path == path) {
                matching.push_back(std::move(request));
            }
        }
        return matching;
    }

private:
    Reply answer(const httplib::Request& request) {
        std::unique_lock lock(m_mutex);
        m_seen.push_back(
            Request{request.method, request.path, request.headers, request.body, request.remote_port});
        Reply reply = m_default;
        if (auto script = m_scripts.find(request.path);
            script != m_scripts.end() && !script->second.empty()) {
            reply = script->second.front();
            script->second.pop_front();
        }
        if (reply.stall) {
            m_released.wait(lock, [this] { return m_shuttingDown; });
        }
        return reply;
    }

    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_shuttingDown = false;
    Reply m_default{
        200, R"({"ok":true,"service":"s","groqConfigured":false,"authConfigured":true,"version":"1"})"};
    std::map<std::string, std::deque<Reply>> m_scripts;
    std::vector<Request> m_seen;
};
