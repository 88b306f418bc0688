#pragma once

#include "server/http/BoundedTaskQueue.h"
#include "server/http/HeadReader.h"
#include "server/http/HttpLimits.h"
#include "server/http/RequestContext.h"

#include <httplib.h>
#include <memory>
#include <mutex>
#include <string>

// cpp-httplib's server with our own connection handling. Request heads are collected for all
// connections on one thread (HeadReader), so idle or slow clients never hold a worker and a
// head is bounded in size and time before the token is looked at. A whole head goes to a
// worker; health checks have a lane of their own so they answer however busy the workers are.
// Every request must arrive whole within the request time limit (a slow sender gets a 408 or
// the connection closed), a handler can ask for the connection to be closed after its answer
// (when it refused a body it did not read), and closing drains what the client is still
// sending so it reads our answer instead of a reset.
class HttpServer final : public httplib::Server {
public:
    explicit HttpServer(const HttpLimits& limits);
    ~HttpServer() override;

    // Binds to `host` and `port` (0: any free port) for this process alone: no other socket may
    // share the port. Returns the port, or -1 with `error` set to why.
    int bindTo(const std::string& host, int port, std::string* error = nullptr);

    // The request being served on the calling worker thread; only valid inside handlers and
    // the logger.
    static RequestContext& currentRequest();

    const HttpLimits& limits() const { return m_limits; }

private:
    class AcceptQueue;

    bool process_and_close_socket(socket_t socket) override;
    void startDispatch();
    void stopDispatch();
    bool dispatch(HeadReader::Connection& connection);
    void serve(HeadReader::Connection connection);

    const HttpLimits m_limits;
    std::mutex m_dispatchMutex;
    std::unique_ptr<BoundedTaskQueue> m_workers;
    std::unique_ptr<BoundedTaskQueue> m_healthLane;
    std::unique_ptr<HeadReader> m_headReader;
};
