#include "server/http/HttpServer.h"

#include "server/http/DeadlineStream.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <netdb.h>
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

void closeSocket(int socket) {
    ::shutdown(socket, SHUT_RDWR);
    ::close(socket);
}

// Health checks are cheap and must answer while every worker decodes.
bool isHealthCheck(const std::string& head) {
    for (const std::string_view start : {"GET /v1/ptt/health", "HEAD /v1/ptt/health"}) {
        if (head.compare(0, start.size(), start) == 0 && head.size() > start.size() &&
            (head[start.size()] == ' ' || head[start.size()] == '?')) {
            return true;
        }
    }
    return false;
}

} // namespace

// The library's accept loop hands each new socket to its task queue; ours passes it straight to
// the head reader on the accepting thread, and stopping the queue stops everything behind it.
class HttpServer::AcceptQueue final : public httplib::TaskQueue {
public:
    explicit AcceptQueue(HttpServer& server)
        : m_server(server) {
        m_server.startDispatch();
    }
    void enqueue(std::function<void()> task) override { task(); }
    void shutdown() override { m_server.stopDispatch(); }

private:
    HttpServer& m_server;
};

HttpServer::HttpServer(const HttpLimits& limits)
    : m_limits(limits) {
    // The library owns and deletes the queue it is given.
    new_task_queue = [this] { return new AcceptQueue(*this); };
    // Only for the Keep-Alive header the library writes; the loop below enforces them.
    set_keep_alive_max_count(limits.keepAliveMaxRequests);
    set_keep_alive_timeout(std::max<time_t>(1, time_t(limits.keepAliveTimeout.count() / 1000)));
}

HttpServer::~HttpServer() {
    stopDispatch();
}

int HttpServer::bindTo(const std::string& host, int port, std::string* error) {
    // The library's own binding sets SO_REUSEPORT, with which a second server on the same port
    // binds without a word and the kernel splits the clients between the two. SO_REUSEADDR alone
    // only allows a restart while old connections linger.
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int failure = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found); failure != 0) {
        if (error) {
            *error = std::string("not an address of this machine (") + gai_strerror(failure) + ")";
        }
        return -1;
    }
    std::string why = "no usable address";
    int bound = -1;
    for (addrinfo* address = found; address && bound < 0; address = address->ai_next) {
        const int socket =
            ::socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC, address->ai_protocol);
        if (socket < 0) {
            why = std::strerror(errno);
            continue;
        }
        const int yes = 1;
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (::bind(socket, address->ai_addr, address->ai_addrlen) != 0 || ::listen(socket, 128) != 0) {
            why = errno == EADDRINUSE ? "the address is already in use (is another orlavo-server running?)"
                                      : std::strerror(errno);
            ::close(socket);
            continue;
        }
        sockaddr_storage local{};
        socklen_t length = sizeof local;
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&local), &length);
        bound = local.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6&>(local).sin6_port)
                                            : ntohs(reinterpret_cast<sockaddr_in&>(local).sin_port);
        svr_sock_ = socket;
    }
    ::freeaddrinfo(found);
    if (bound < 0 && error) {
        *error = why;
    }
    return bound;
}

RequestContext& HttpServer::currentRequest() {
    return activeRequest ? *activeRequest : outsideRequest;
}

void HttpServer::startDispatch() {
    const std::lock_guard lock(m_dispatchMutex);
    m_workers = std::make_unique<BoundedTaskQueue>(m_limits.workers, m_limits.backlog);
    m_healthLane = std::make_unique<BoundedTaskQueue>(1, m_limits.backlog);
    m_headReader = std::make_unique<HeadReader>(
        m_limits, [this](HeadReader::Connection& connection) { return dispatch(connection); });
}

void HttpServer::stopDispatch() {
    std::unique_ptr<HeadReader> reader;
    std::unique_ptr<BoundedTaskQueue> workers;
    std::unique_ptr<BoundedTaskQueue> healthLane;
    {
        const std::lock_guard lock(m_dispatchMutex);
        if (!m_headReader) {
            return;
        }
        m_headReader->stop();
    }
    // Workers finishing now find the reader stopped and close their connections.
    m_workers->shutdown();
    m_healthLane->shutdown();
    const std::lock_guard lock(m_dispatchMutex);
    reader = std::move(m_headReader);
    workers = std::move(m_workers);
    healthLane = std::move(m_healthLane);
}

bool HttpServer::process_and_close_socket(socket_t socket) {
    // The library writes the head and the body of an answer separately; without this, Nagle's
    // algorithm holds the body back until the client's delayed acknowledgement, 40 ms later.
    const int noDelay = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    const std::lock_guard lock(m_dispatchMutex);
    if (!m_headReader) {
        closeSocket(socket);
        return false;
    }
    m_headReader->add(HeadReader::Connection{socket, {}, 0, 0});
    return true;
}

bool HttpServer::dispatch(HeadReader::Connection& connection) {
    BoundedTaskQueue& queue = isHealthCheck(connection.buffered) ? *m_healthLane : *m_workers;
    if (!queue.hasRoom()) {
        return false;
    }
    // std::function needs a copyable task; the connection moves through a shared holder.
    auto held = std::make_shared<HeadReader::Connection>(std::move(connection));
    queue.enqueue([this, held] { serve(std::move(*held)); });
    return true;
}

void HttpServer::serve(HeadReader::Connection connection) {
    const int socket = connection.socket;
    RequestContext context;
    context.started = Clock::now();
    context.bytesReceived = connection.buffered.size();
    context.socket = socket;
    context.head = connection.buffered.substr(0, connection.headBytes);
    DeadlineStream stream(socket, m_limits.writeTimeout, std::move(connection.buffered));
    stream.beginRequest(context.started + m_limits.requestTimeout, &context);
    activeRequest = &context;
    ++connection.served;
    const bool last = connection.served >= m_limits.keepAliveMaxRequests;
    bool closedByClient = false;
    const bool answered = process_request(stream, last, closedByClient, nullptr);
    activeRequest = nullptr;

    if (context.closeAfterResponse && !context.timedOut) {
        drainAndClose(socket);
        return;
    }
    if (!answered || closedByClient || context.timedOut || last) {
        closeSocket(socket);
        return;
    }
    // Kept alive: the next request's head is awaited without a worker.
    connection.buffered = stream.takeBuffered();
    const std::lock_guard lock(m_dispatchMutex);
    if (m_headReader) {
        m_headReader->add(std::move(connection));
    } else {
        closeSocket(socket);
    }
}
