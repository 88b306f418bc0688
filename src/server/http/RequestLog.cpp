#include "server/http/RequestLog.h"

#include "core/common/StatusSink.h"

#include <cstdio>
#include <ctime>

namespace RequestLog {

namespace {

std::string printable(std::string_view text, std::size_t limit) {
    std::string out;
    for (const char c : text.substr(0, limit)) {
        out.push_back(c > 0x20 && c < 0x7F ? c : '?');
    }
    if (text.size() > limit) {
        out += "...";
    }
    return out.empty() ? "-" : out;
}

} // namespace

std::string line(std::string_view method, std::string_view path, int status, std::size_t bytesIn,
                 std::size_t bytesOut, double milliseconds) {
    char stamp[32] = {};
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
    char tail[96] = {};
    std::snprintf(tail, sizeof tail, " %d in=%zu out=%zu %.1fms", status, bytesIn, bytesOut, milliseconds);
    return std::string(stamp) + " " + printable(method, 16) + " " + printable(path, 120) + tail;
}

void write(const std::string& line) {
    static const StatusSink sink(StatusSink::Stream::error);
    sink.write(line);
}

} // namespace RequestLog
