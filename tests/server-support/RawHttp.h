#pragma once

#include <chrono>
#include <string>

// HTTP by hand over a loopback socket, for requests no well-behaved client sends: lying lengths,
// control characters in headers, bodies that stop halfway.
namespace RawHttp {

struct Exchange {
    std::string response; // everything the server sent until it closed or the wait ended
    bool closedByServer = false;

    int status() const; // from the status line; 0 when there is none
    std::string body() const;
};

// Sends `request` and reads until one whole answer has arrived (with `untilClosed`, until the
// server closes the connection) or `wait` passes. The socket stays open after sending, as for a
// client that still has more to send.
Exchange send(int port, const std::string& request, std::chrono::milliseconds wait, bool untilClosed = false);

// A connection to the loopback port that has sent `start` and stays open until `close` is called.
class OpenConnection {
public:
    OpenConnection(int port, const std::string& start);
    ~OpenConnection();
    OpenConnection(const OpenConnection&) = delete;
    OpenConnection& operator=(const OpenConnection&) = delete;

private:
    int m_fd;
};

} // namespace RawHttp
