#include "server/http/HeadReader.h"

#include "server/http/HttpReply.h"
#include "server/http/RequestLog.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <list>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// After a refusal, what the client still sends is read and dropped for a moment: closing with
// unread data makes the kernel send a reset, which can destroy the answer before it is read.
constexpr auto drainTime = std::chrono::milliseconds(1000);
constexpr std::size_t maximumDrainBytes = 8u << 20;

void setBlocking(int socket, bool blocking) {
    const int flags = ::fcntl(socket, F_GETFL, 0);
    ::fcntl(socket, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK);
}

void closeSocket(int socket) {
    ::shutdown(socket, SHUT_RDWR);
    ::close(socket);
}

} // namespace

struct HeadReader::Waiting {
    Connection connection;
    Clock::time_point opened;
    Clock::time_point deadline;
    std::size_t scanned = 0;
    std::size_t lineStart = 0;
    std::size_t lines = 0;
    bool heard = false;    // a byte of this request arrived
    bool draining = false; // answered and closing
    std::size_t drained = 0;
};

std::string HeadReader::closingAnswer(HttpStatus status, const std::string& reason) {
    httplib::Response response;
    HttpReply::text(response, status, reason);
    const char* phrase = status == HttpStatus::requestTimeout         ? "Request Timeout"
                         : status == HttpStatus::headerFieldsTooLarge ? "Request Header Fields Too Large"
                                                                      : "Service Unavailable";
    return "HTTP/1.1 " + std::to_string(statusCode(status)) + " " + phrase +
           "\r\nContent-Type: text/plain; charset=utf-8\r\nConnection: close\r\nContent-Length: " +
           std::to_string(response.body.size()) + "\r\n\r\n" + response.body;
}

HeadReader::HeadReader(const HttpLimits& limits, Dispatch dispatch)
    : m_limits(limits)
    , m_dispatch(std::move(dispatch))
    , m_wakeFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    m_thread = std::thread([this] { run(); });
}

HeadReader::~HeadReader() {
    stop();
    ::close(m_wakeFd);
}

void HeadReader::add(Connection connection) {
    {
        const std::lock_guard lock(m_mutex);
        if (!m_stopping) {
            m_incoming.push_back(std::move(connection));
            connection.socket = -1;
        }
    }
    if (connection.socket >= 0) {
        closeSocket(connection.socket);
        return;
    }
    wake();
}

void HeadReader::stop() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    wake();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void HeadReader::wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(m_wakeFd, &one, sizeof one);
}

void HeadReader::run() {
    std::list<Waiting> waiting;
    std::vector<pollfd> descriptors;
    std::vector<std::list<Waiting>::iterator> order;
    std::array<char, 16384> chunk{};

    const auto refuse = [&](Waiting& entry, HttpStatus status, const std::string& reason) {
        const std::string answer = closingAnswer(status, reason);
        [[maybe_unused]] const auto sent =
            ::send(entry.connection.socket, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        ::shutdown(entry.connection.socket, SHUT_WR);
        const std::chrono::duration<double, std::milli> elapsed = Clock::now() - entry.opened;
        RequestLog::write(RequestLog::line("-", "-", statusCode(status), entry.connection.buffered.size(),
                                           answer.size(), elapsed.count()));
        std::string().swap(entry.connection.buffered);
        entry.draining = true;
        entry.deadline = Clock::now() + drainTime;
    };

    // Looks for the blank line that ends the head in what arrived; true when the entry is done
    // with (handed on or refused).
    const auto examine = [&](Waiting& entry) {
        std::string& bytes = entry.connection.buffered;
        for (; entry.scanned < bytes.size(); ++entry.scanned) {
            if (bytes[entry.scanned] != '\n') {
                continue;
            }
            const bool blank = entry.scanned == entry.lineStart + 1 && bytes[entry.lineStart] == '\r';
            ++entry.lines;
            entry.lineStart = entry.scanned + 1;
            if (blank && entry.lines > 1) {
                entry.connection.headBytes = entry.scanned + 1;
                break;
            }
            if (entry.lines > m_limits.maxHeaderCount + 1) {
                refuse(entry, HttpStatus::headerFieldsTooLarge,
                       "request header fields too large: more than " +
                           std::to_string(m_limits.maxHeaderCount) + " header lines");
                return false;
            }
        }
        const bool complete = entry.connection.headBytes > 0;
        if ((complete ? entry.connection.headBytes : bytes.size()) > m_limits.maxHeadBytes) {
            refuse(entry, HttpStatus::headerFieldsTooLarge,
                   "request header fields too large: the head is over " +
                       std::to_string(m_limits.maxHeadBytes / 1024) + " KB");
            return false;
        }
        if (!complete) {
            return false;
        }
        setBlocking(entry.connection.socket, true);
        if (!m_dispatch(entry.connection)) {
            setBlocking(entry.connection.socket, false);
            entry.connection.headBytes = 0;
            refuse(entry, HttpStatus::serviceUnavailable,
                   "the server is busy: too many requests at once; try again shortly");
            return false;
        }
        return true;
    };

    for (;;) {
        std::vector<Connection> arrived;
        {
            const std::lock_guard lock(m_mutex);
            if (m_stopping) {
                break;
            }
            arrived.swap(m_incoming);
        }
        const auto now = Clock::now();
        for (Connection& connection : arrived) {
            const bool kept = connection.served > 0;
            if (!kept && waiting.size() >= m_limits.maxWaitingConnections) {
                closeSocket(connection.socket);
                continue;
            }
            setBlocking(connection.socket, false);
            Waiting entry;
            entry.connection = std::move(connection);
            entry.opened = now;
            entry.deadline = now + (kept ? m_limits.keepAliveTimeout : m_limits.headTimeout);
            entry.heard = !entry.connection.buffered.empty();
            if (entry.heard && kept) {
                entry.deadline = now + m_limits.headTimeout;
            }
            waiting.push_back(std::move(entry));
            if (waiting.back().heard && examine(waiting.back())) {
                waiting.pop_back();
            }
        }

        descriptors.assign(1, pollfd{m_wakeFd, POLLIN, 0});
        order.clear();
        auto soonest = Clock::now() + std::chrono::seconds(1);
        for (auto it = waiting.begin(); it != waiting.end(); ++it) {
            descriptors.push_back(pollfd{it->connection.socket, POLLIN, 0});
            order.push_back(it);
            soonest = std::min(soonest, it->deadline);
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(soonest - Clock::now());
        const int ready =
            ::poll(descriptors.data(), descriptors.size(), int(std::max<long long>(0, wait.count())));
        if (ready < 0 && errno != EINTR) {
            break;
        }
        if (descriptors[0].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] const auto got = ::read(m_wakeFd, &count, sizeof count);
        }

        for (std::size_t i = 1; i < descriptors.size(); ++i) {
            const auto it = order[i - 1];
            Waiting& entry = *it;
            bool finished = false;
            bool closed = false;
            if (descriptors[i].revents != 0) {
                for (;;) {
                    std::size_t room = chunk.size();
                    if (!entry.draining) {
                        // Never hold more than the limit: one byte over is enough to refuse.
                        room = std::min(
                            room, m_limits.maxHeadBytes + 1 -
                                      std::min(m_limits.maxHeadBytes, entry.connection.buffered.size()));
                    }
                    const ssize_t got = ::recv(entry.connection.socket, chunk.data(), room, 0);
                    if (got < 0 && errno == EINTR) {
                        continue;
                    }
                    if (got <= 0) {
                        closed = got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
                        break;
                    }
                    if (entry.draining) {
                        entry.drained += std::size_t(got);
                        closed = entry.drained > maximumDrainBytes;
                        if (closed) {
                            break;
                        }
                        continue;
                    }
                    if (!entry.heard && entry.connection.served > 0) {
                        // A kept connection's idle time is over; its next head gets the usual time.
                        entry.deadline = Clock::now() + m_limits.headTimeout;
                    }
                    entry.heard = true;
                    entry.connection.buffered.append(chunk.data(), std::size_t(got));
                    finished = examine(entry);
                    if (finished || entry.draining) {
                        break;
                    }
                }
            }
            if (!finished && !closed && Clock::now() >= entry.deadline) {
                if (entry.draining || !entry.heard) {
                    closed = true; // an idle connection is closed without a word
                } else {
                    char seconds[32] = {};
                    std::snprintf(seconds, sizeof seconds, "%g",
                                  double(m_limits.headTimeout.count()) / 1000.0);
                    refuse(entry, HttpStatus::requestTimeout,
                           std::string("request timeout: the request head did not arrive within ") + seconds +
                               " s");
                }
            }
            if (closed) {
                closeSocket(entry.connection.socket);
            }
            if (closed || finished) {
                waiting.erase(it);
            }
        }
    }
    for (Waiting& entry : waiting) {
        closeSocket(entry.connection.socket);
    }
    const std::lock_guard lock(m_mutex);
    for (Connection& connection : m_incoming) {
        closeSocket(connection.socket);
    }
    m_incoming.clear();
}
