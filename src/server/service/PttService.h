#pragma once

#include "server/auth/ServerToken.h"
#include "server/service/LiveEngines.h"
#include "server/service/ServiceSettings.h"

#include <functional>
#include <httplib.h>
#include <string>

class HttpServer;

// The routes of the dictation service: health, transcribe, edit, and reload (which applies the
// configuration file again, when a reload is set). Everything that can be judged from the request line
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

    LiveEngines& engines() { return m_engines; }
    // What POST /v1/ptt/reload runs; without one, the route answers 501. Set before serving.
    void setReload(std::function<Result<void>()> reload) { m_reload = std::move(reload); }

    static constexpr const char* serviceName = "orlavo-server";

private:
    httplib::Server::HandlerResponse screen(const httplib::Request& request,
                                            httplib::Response& response) const;
    void health(const httplib::Request& request, httplib::Response& response) const;
    void transcribe(const httplib::Request& request, httplib::Response& response,
                    const httplib::ContentReader& reader) const;
    void edit(const httplib::Request& request, httplib::Response& response,
              const httplib::ContentReader& reader) const;
    void reload(httplib::Response& response) const;

    bool readBody(const httplib::Request& request, httplib::Response& response,
                  const httplib::ContentReader& reader, std::size_t limit, std::string& body) const;

    const ServiceSettings m_settings;
    const ServerToken m_token;
    LiveEngines m_engines;
    std::function<Result<void>()> m_reload;
};
