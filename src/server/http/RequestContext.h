#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <poll.h>
#include <string>

// What the connection loop knows about the request being served on this thread, shared with the
// handlers and the log line through HttpServer::currentRequest().
struct RequestContext {
    std::chrono::steady_clock::time_point started;
    std::size_t bytesReceived = 0;
    bool timedOut = false;           // the request did not arrive within its time limit
    bool closeAfterResponse = false; // an unread body is pending: the connection cannot be reused
    int socket = -1;
    std::string head; // the request line and headers as received, for RawHeaders

    // Whether the client has closed its side: nobody will read the answer, so long work for it
    // can stop. Pipelined bytes of a next request do not count.
    bool clientGone() const {
        if (socket < 0) {
            return false;
        }
        pollfd descriptor{socket, POLLRDHUP, 0};
        return ::poll(&descriptor, 1, 0) > 0 && (descriptor.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
    }
};
