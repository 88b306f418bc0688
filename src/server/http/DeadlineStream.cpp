#include "server/http/DeadlineStream.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace {

// 1 ready, 0 the time ran out, -1 failed.
int waitFor(int socket, short events, int timeoutMs) {
    pollfd descriptor{socket, events, 0};
    for (;;) {
        const int ready = ::poll(&descriptor, 1, timeoutMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            return -1;
        }
        return ready > 0 && (descriptor.revents & (events | POLLHUP | POLLERR)) != 0 ? 1 : 0;
    }
}

void describe(const sockaddr_storage& address, std::string& ip, int& port) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        port = ntohs(v4.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        port = ntohs(v6.sin6_port);
    }
    ip = text;
}

} // namespace

DeadlineStream::DeadlineStream(int socket, std::chrono::milliseconds writeTimeout, std::string buffered)
    : m_socket(socket)
    , m_writeTimeout(writeTimeout)
    , m_buffer(std::move(buffered)) {}

std::string DeadlineStream::takeBuffered() {
    std::string rest = m_buffer.substr(m_bufferStart);
    m_buffer.clear();
    m_bufferStart = 0;
    return rest;
}

void DeadlineStream::beginRequest(std::chrono::steady_clock::time_point deadline, RequestContext* context) {
    m_deadline = deadline;
    m_context = context;
}

bool DeadlineStream::waitReadable() const {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(m_deadline - std::chrono::steady_clock::now());
    const int ready = left.count() > 0 ? waitFor(m_socket, POLLIN, int(left.count())) : 0;
    if (ready == 0 && m_context) {
        m_context->timedOut = true;
    }
    return ready > 0;
}

bool DeadlineStream::is_readable() const {
    return hasBufferedInput() || waitReadable();
}

bool DeadlineStream::is_writable() const {
    return waitFor(m_socket, POLLOUT, int(m_writeTimeout.count())) > 0;
}

ssize_t DeadlineStream::read(char* ptr, size_t size) {
    if (!hasBufferedInput()) {
        // The library reads request lines a byte at a time; serve those from a buffer.
        if (!waitReadable()) {
            return -1;
        }
        m_buffer.resize(4096);
        m_bufferStart = 0;
        ssize_t got = 0;
        do {
            got = ::recv(m_socket, m_buffer.data(), m_buffer.size(), 0);
        } while (got < 0 && errno == EINTR);
        m_buffer.resize(std::size_t(std::max<ssize_t>(got, 0)));
        if (got <= 0) {
            return got;
        }
        if (m_context) {
            m_context->bytesReceived += std::size_t(got);
        }
    }
    const std::size_t count = std::min(size, m_buffer.size() - m_bufferStart);
    std::memcpy(ptr, m_buffer.data() + m_bufferStart, count);
    m_bufferStart += count;
    return ssize_t(count);
}

ssize_t DeadlineStream::write(const char* ptr, size_t size) {
    if (!is_writable()) {
        return -1;
    }
    ssize_t sent = 0;
    do {
        sent = ::send(m_socket, ptr, size, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent;
}

void DeadlineStream::get_remote_ip_and_port(std::string& ip, int& port) const {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(m_socket, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        describe(address, ip, port);
    }
}

void DeadlineStream::get_local_ip_and_port(std::string& ip, int& port) const {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        describe(address, ip, port);
    }
}
