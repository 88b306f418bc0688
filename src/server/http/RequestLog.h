#pragma once

#include <string>
#include <string_view>

// The one line per request on standard error: time, method, path, status, bytes received and
// sent, milliseconds. Never a header value, a body, a transcript or a token: the path is the only
// text from the client, and it is cut short and stripped of anything unprintable.
namespace RequestLog {

std::string line(std::string_view method, std::string_view path, int status, std::size_t bytesIn,
                 std::size_t bytesOut, double milliseconds);
void write(const std::string& line);

} // namespace RequestLog
