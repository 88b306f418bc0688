#pragma once

#include <chrono>
#include <cstddef>

// The transport limits of one listener.
struct HttpLimits {
    std::chrono::milliseconds requestTimeout{30000};  // to receive one whole request
    std::chrono::milliseconds headTimeout{5000};      // to receive the request line and headers
    std::chrono::milliseconds writeTimeout{10000};    // for the client to take more of the answer
    std::chrono::milliseconds keepAliveTimeout{5000}; // idle time before a kept connection closes
    std::size_t keepAliveMaxRequests = 100;
    std::size_t workers = 16;
    std::size_t backlog = 64; // complete request heads waiting for a worker
    // Everything before the token is checked is held in memory, so it is bounded.
    std::size_t maxHeadBytes = 32 * 1024;
    std::size_t maxHeaderCount = 100;
    std::size_t maxWaitingConnections = 512; // connections whose request head is still arriving
};
