#pragma once

#include "server/auth/ServerToken.h"
#include "server/service/ServiceEngines.h"
#include "server/service/ServiceSettings.h"

#include <httplib.h>
#include <string>

class HttpServer;

// The three routes of the dictation service. Everything that can be judged from the request line
// and headers (route, method, token, sizes, header text) is judged before a byte of the body is
// read, so a refused upload costs nothing; bodies are then read within their limit, parsed, and
// only well-formed requests reach an engine.
class PttService final {
public:
    PttService(ServiceSettings settings, ServerToken token, ServiceEngines engines);
    PttService(const PttService&) = delete;
    PttService& operator=(const PttService&) = delete;

    // Registers the routes, the screening, the error bodies and the log line on `server`, which
    // must not outlive this service.
    void install(HttpServer& server);

    static constexpr const char* serviceName = "orlavo-server";

private:
    httplib::Server::HandlerResponse screen(const httplib::Request& request,
                                            httplib::Response& response) const;
    void health(const httplib::Request& request, httplib::Response& response) const;
    void transcribe(const httplib::Request& request, httplib::Response& response,
                    const httplib::ContentReader& reader) const;
    void edit(const httplib::Request& request, httplib::Response& response,
              const httplib::ContentReader& reader) const;

    bool readBody(const httplib::Request& request, httplib::Response& response,
                  const httplib::ContentReader& reader, std::size_t limit, std::string& body) const;

    const ServiceSettings m_settings;
    const ServerToken m_token;
    const ServiceEngines m_engines;
};
