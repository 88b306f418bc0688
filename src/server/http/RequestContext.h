#pragma once

#include <chrono>
#include <cstddef>

// What the connection loop knows about the request being served on this thread, shared with the
// handlers and the log line through HttpServer::currentRequest().
struct RequestContext {
    std::chrono::steady_clock::time_point started;
    std::size_t bytesReceived = 0;
    bool timedOut = false;           // the request did not arrive within its time limit
    bool closeAfterResponse = false; // an unread body is pending: the connection cannot be reused
};
