#include "RawHttp.h"

#include <arpa/inet.h>
#include <cctype>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace RawHttp {

int Exchange::status() const {
    if (response.rfind("HTTP/1.", 0) != 0 || response.size() < 12) {
        return 0;
    }
    return std::stoi(response.substr(9, 3));
}

std::string Exchange::body() const {
    const auto end = response.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : response.substr(end + 4);
}

namespace {

bool complete(const std::string& response) {
    const auto end = response.find("\r\n\r\n");
    if (end == std::string::npos) {
        return false;
    }
    std::string head = response.substr(0, end);
    for (char& c : head) {
        c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    const auto field = head.find("\r\ncontent-length:");
    const std::size_t length = field == std::string::npos ? 0 : std::stoul(head.substr(field + 17));
    return response.size() >= end + 4 + length;
}

} // namespace

Exchange send(int port, const std::string& request, std::chrono::milliseconds wait, Until until) {
    Exchange exchange;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(std::uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return exchange;
    }
    std::size_t sent = 0;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    char buffer[8192];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count();
        if (left <= 0) {
            break;
        }
        pollfd descriptor{fd, short(POLLIN | (sent < request.size() ? POLLOUT : 0)), 0};
        if (::poll(&descriptor, 1, int(left)) <= 0) {
            continue;
        }
        if (descriptor.revents & POLLIN) {
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) {
                exchange.closedByServer = true;
                break;
            }
            exchange.response.append(buffer, std::size_t(got));
            if (until == Until::answered && complete(exchange.response)) {
                break;
            }
        } else if (descriptor.revents & POLLOUT) {
            const ssize_t put = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
            if (put <= 0) {
                sent = request.size(); // the server stopped reading; keep listening for its answer
            } else {
                sent += std::size_t(put);
            }
        } else if (descriptor.revents & (POLLHUP | POLLERR)) {
            exchange.closedByServer = true;
            break;
        }
    }
    ::close(fd);
    return exchange;
}

} // namespace RawHttp
