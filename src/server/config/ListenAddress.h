#pragma once

#include <optional>
#include <string>
#include <string_view>

// Where the service listens: "HOST:PORT", with IPv6 hosts in brackets ("[::1]:27321"). Port 0
// asks the system for a free port.
struct ListenAddress {
    // Below Linux's ephemeral range (32768-60999), where an outgoing connection of any program
    // could already hold the port.
    static constexpr int defaultPort = 27321;
    // The default of earlier releases, which stored configurations may still name.
    static constexpr int formerDefaultPort = 47321;

    std::string host = "127.0.0.1";
    int port = defaultPort;

    static std::optional<ListenAddress> parse(std::string_view text);

    std::string toString() const;
    bool isLoopback() const;

    friend bool operator==(const ListenAddress&, const ListenAddress&) = default;
};
