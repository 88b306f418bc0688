#pragma once

#include "server/http/RequestContext.h"

#include <chrono>
#include <httplib.h>
#include <string>

// A socket stream for cpp-httplib whose reads share one deadline per request, so a client that
// trickles its headers or body a byte at a time cannot hold a worker longer than the request time
// limit (the library's own stream only limits the wait for each single read). Writes wait at most
// `writeTimeout` for the socket to accept more.
class DeadlineStream final : public httplib::Stream {
public:
    // `buffered`: bytes already read from the socket (a request head), served before the socket.
    DeadlineStream(int socket, std::chrono::milliseconds writeTimeout, std::string buffered = {});

    // Starts a new request: reads from now on must finish by `deadline`; counts go to `context`.
    void beginRequest(std::chrono::steady_clock::time_point deadline, RequestContext* context);

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return m_socket; }

    bool hasBufferedInput() const { return m_bufferStart < m_buffer.size(); }
    // What was read from the socket but not yet by the library: the start of the next request.
    std::string takeBuffered();

private:
    bool waitReadable() const;

    const int m_socket;
    const std::chrono::milliseconds m_writeTimeout;
    std::chrono::steady_clock::time_point m_deadline;
    RequestContext* m_context = nullptr;
    std::string m_buffer;
    std::size_t m_bufferStart = 0;
};
