#pragma once

#include "server/http/HttpLimits.h"
#include "server/http/HttpStatus.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Waits for request heads on one thread, for every connection at once, so that idle and slow
// clients hold a socket and at most `maxHeadBytes` of memory each, never a worker. A connection
// leaves it only with a whole head (request line to blank line) buffered; one that sends too
// much is answered 431, one that is too slow 408, one that says nothing is closed.
class HeadReader final {
public:
    struct Connection {
        int socket = -1;
        std::string buffered; // the whole head, and whatever followed it
        std::size_t headBytes = 0;
        std::size_t served = 0; // requests answered on this connection so far
    };
    // Takes a connection with a whole head. Called on the reader's thread: must not block.
    // Returns false when it cannot take it now (the reader then answers 503).
    using Dispatch = std::function<bool(Connection&)>;

    HeadReader(const HttpLimits& limits, Dispatch dispatch);
    ~HeadReader();
    HeadReader(const HeadReader&) = delete;
    HeadReader& operator=(const HeadReader&) = delete;

    // A new connection, or one whose previous request was answered and may carry another.
    void add(Connection connection);
    // Closes every waiting connection; later additions are closed at once.
    void stop();

    // "HTTP/1.1 <status> ..." with a one-line reason and "Connection: close", for answers the
    // reader gives without the HTTP library. Best effort: the socket is never waited for.
    static std::string closingAnswer(HttpStatus status, const std::string& reason);

private:
    struct Waiting;
    void run();
    void wake();

    const HttpLimits m_limits;
    const Dispatch m_dispatch;
    std::mutex m_mutex;
    std::vector<Connection> m_incoming;
    bool m_stopping = false;
    int m_wakeFd = -1;
    std::thread m_thread;
};
