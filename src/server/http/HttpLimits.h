#pragma once

#include <chrono>
#include <cstddef>

// The transport limits of one listener.
struct HttpLimits {
    std::chrono::milliseconds requestTimeout{30000};  // to receive one whole request
    std::chrono::milliseconds writeTimeout{10000};    // for the client to take more of the answer
    std::chrono::milliseconds keepAliveTimeout{5000}; // idle time before a kept connection closes
    std::size_t keepAliveMaxRequests = 100;
    std::size_t workers = 16;
    std::size_t backlog = 64; // accepted connections waiting for a worker
};
