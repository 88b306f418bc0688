#pragma once

#include <optional>
#include <string>
#include <string_view>

// Header values exactly as the client sent them. The HTTP library percent-decodes header values
// ("%0A" becomes a line feed, "100%25" becomes "100%"), which changes user text and tokens; the
// request head as received is read instead.
namespace RawHeaders {

// The first value of the header `name` (any case) in `head` ("request line CRLF headers CRLF
// CRLF"), without surrounding blanks; nothing when absent.
std::optional<std::string> find(std::string_view head, std::string_view name);

} // namespace RawHeaders
