#include "server/config/ListenAddress.h"

#include <arpa/inet.h>
#include <charconv>

std::optional<ListenAddress> ListenAddress::parse(std::string_view text) {
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == text.size()) {
        return std::nullopt;
    }
    std::string_view host = text.substr(0, colon);
    const std::string_view portText = text.substr(colon + 1);
    int port = -1;
    const auto [end, error] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (error != std::errc() || end != portText.data() + portText.size() || port < 0 || port > 65535) {
        return std::nullopt;
    }
    if (host.front() == '[') {
        if (host.size() < 3 || host.back() != ']') {
            return std::nullopt;
        }
        host = host.substr(1, host.size() - 2);
        in6_addr address{};
        if (inet_pton(AF_INET6, std::string(host).c_str(), &address) != 1) {
            return std::nullopt;
        }
    } else if (host.find(':') != std::string_view::npos) {
        return std::nullopt; // an IPv6 address needs its brackets
    }
    for (const char c : host) {
        if (c <= 0x20 || c >= 0x7F) {
            return std::nullopt;
        }
    }
    return ListenAddress{std::string(host), port};
}

std::string ListenAddress::toString() const {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

bool ListenAddress::isLoopback() const {
    return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}
