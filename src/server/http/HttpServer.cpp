#include "HttpServer.h"

#include "BoundedTaskQueue.h"
#include "DeadlineStream.h"

#include <array>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

thread_local RequestContext* activeRequest = nullptr;
RequestContext outsideRequest;

using Clock = std::chrono::steady_clock;

// After refusing a body, read and discard what is still coming for a moment: closing a socket
// with unread data makes the kernel send a reset, which can destroy our answer before the client
// has read it.
void drainAndClose(int socket) {
    ::shutdown(socket, SHUT_WR);
    const auto until = Clock::now() + std::chrono::seconds(2);
    std::array<char, 16384> sink{};
    std::size_t drained = 0;
    while (drained < (64u << 20)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        pollfd descriptor{socket, POLLIN, 0};
        if (left <= 0 || ::poll(&descriptor, 1, int(left)) <= 0) {
            break;
        }
        const ssize_t got = ::recv(socket, sink.data(), sink.size(), 0);
        if (got <= 0) {
            break;
        }
        drained += std::size_t(got);
    }
    ::close(socket);
}

} // namespace

HttpServer::HttpServer(const HttpLimits& limits)
    : m_limits(limits) {
    const std::size_t workers = limits.workers;
    const std::size_t backlog = limits.backlog;
    // The library owns and deletes the queue it is given.
    new_task_queue = [workers, backlog] { return new BoundedTaskQueue(workers, backlog); };
    // Only for the Keep-Alive header the library writes; the loop below enforces them.
    set_keep_alive_max_count(limits.keepAliveMaxRequests);
    set_keep_alive_timeout(std::max<time_t>(1, time_t(limits.keepAliveTimeout.count() / 1000)));
}

int HttpServer::bindTo(const std::string& host, int port) {
    const int bound = port == 0 ? bind_to_any_port(host) : (bind_to_port(host, port) ? port : -1);
    if (bound > 0) {
        ::listen(svr_sock_, 128);
    }
    return bound;
}

RequestContext& HttpServer::currentRequest() {
    return activeRequest ? *activeRequest : outsideRequest;
}

bool HttpServer::waitForNextRequest(int socket) const {
    // Poll in slices so that a stopping server does not wait for idle clients.
    const auto until = Clock::now() + m_limits.keepAliveTimeout;
    while (svr_sock_ != INVALID_SOCKET) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0) {
            return false;
        }
        pollfd descriptor{socket, POLLIN, 0};
        const int ready = ::poll(&descriptor, 1, int(std::min<long long>(left, 100)));
        if (ready > 0) {
            return true;
        }
        if (ready < 0 && errno != EINTR) {
            return false;
        }
    }
    return false;
}

bool HttpServer::process_and_close_socket(socket_t socket) {
    // The library writes the head and the body of an answer separately; without this, Nagle's
    // algorithm holds the body back until the client's delayed acknowledgement, 40 ms later.
    const int noDelay = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    DeadlineStream stream(socket, m_limits.writeTimeout);
    RequestContext context;
    activeRequest = &context;
    bool answered = false;
    bool drain = false;
    for (std::size_t left = m_limits.keepAliveMaxRequests; left > 0; --left) {
        if (!stream.hasBufferedInput() && !waitForNextRequest(socket)) {
            break;
        }
        context = RequestContext{Clock::now()};
        stream.beginRequest(context.started + m_limits.requestTimeout, &context);
        bool closedByClient = false;
        answered = process_request(stream, left == 1, closedByClient, nullptr);
        if (context.closeAfterResponse || context.timedOut) {
            drain = !context.timedOut;
            break;
        }
        if (!answered || closedByClient) {
            break;
        }
    }
    activeRequest = nullptr;
    if (drain) {
        drainAndClose(socket);
    } else {
        ::shutdown(socket, SHUT_RDWR);
        ::close(socket);
    }
    return answered;
}
