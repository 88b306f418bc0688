#include "RawHttp.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace RawHttp {

int Exchange::status() const {
    return response.rfind("HTTP/1.", 0) == 0 && response.size() >= 12 ? std::stoi(response.substr(9, 3)) : 0;
}

std::string Exchange::body() const {
    const auto end = response.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : response.substr(end + 4);
}

namespace {

// Whether the head has ended and as many body bytes as it announces have arrived.
bool complete(const Exchange& exchange) {
    const auto end = exchange.response.find("\r\n\r\n");
    if (end == std::string::npos) {
        return false;
    }
    std::string head = exchange.response.substr(0, end);
    std::transform(head.begin(), head.end(), head.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    const auto field = head.find("\r\ncontent-length:");
    return field == std::string::npos || exchange.body().size() >= std::stoul(head.substr(field + 17));
}

int connectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(std::uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

OpenConnection::OpenConnection(int port, const std::string& start)
    : m_fd(connectTo(port)) {
    if (m_fd >= 0 && !start.empty()) {
        ::send(m_fd, start.data(), start.size(), MSG_NOSIGNAL);
    }
}

OpenConnection::~OpenConnection() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

Exchange send(int port, const std::string& request, std::chrono::milliseconds wait, bool untilClosed) {
    Exchange exchange;
    const int fd = connectTo(port);
    if (fd >= 0) {
        // Every request fits the socket buffers, so this returns even when the server stops reading.
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        const auto deadline = std::chrono::steady_clock::now() + wait;
        char buffer[8192];
        while (untilClosed || !complete(exchange)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd descriptor{fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&descriptor, 1, int(left.count())) <= 0) {
                break;
            }
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) {
                exchange.closedByServer = true;
                break;
            }
            exchange.response.append(buffer, std::size_t(got));
        }
        ::close(fd);
    }
    return exchange;
}

} // namespace RawHttp
