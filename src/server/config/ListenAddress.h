#pragma once

#include <optional>
#include <string>
#include <string_view>

// Where the service listens: "HOST:PORT", with IPv6 hosts in brackets ("[::1]:47321"). Port 0
// asks the system for a free port.
struct ListenAddress {
    std::string host = "127.0.0.1";
    int port = 47321;

    static std::optional<ListenAddress> parse(std::string_view text);

    std::string toString() const;
    bool isLoopback() const;

    friend bool operator==(const ListenAddress&, const ListenAddress&) = default;
};
