#pragma once

#include "HttpLimits.h"
#include "RequestContext.h"

#include <httplib.h>

// cpp-httplib's server with our own connection loop: every request must arrive whole within the
// request time limit (a slow sender gets a 408 or the connection closed), a handler can ask for
// the connection to be closed after its answer (when it refused a body it did not read), and
// closing drains what the client is still sending so it reads our answer instead of a reset.
class HttpServer final : public httplib::Server {
public:
    explicit HttpServer(const HttpLimits& limits);

    // Binds to `host` and `port` (0: any free port); returns the port, or -1. The library's listen
    // backlog of 5 is widened, so a burst of clients is not turned away by the kernel.
    int bindTo(const std::string& host, int port);

    // The request being served on the calling worker thread; only valid inside handlers and
    // the logger.
    static RequestContext& currentRequest();

    const HttpLimits& limits() const { return m_limits; }

private:
    bool process_and_close_socket(socket_t socket) override;
    bool waitForNextRequest(int socket) const;

    const HttpLimits m_limits;
};
