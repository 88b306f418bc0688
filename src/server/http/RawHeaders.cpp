#include "server/http/RawHeaders.h"

namespace RawHeaders {

namespace {

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

} // namespace

std::optional<std::string> find(std::string_view head, std::string_view name) {
    std::size_t at = head.find('\n'); // past the request line
    while (at != std::string_view::npos && at + 1 < head.size()) {
        const std::size_t start = at + 1;
        at = head.find('\n', start);
        const std::string_view line =
            head.substr(start, at == std::string_view::npos ? head.npos : at - start);
        const auto colon = line.find(':');
        if (colon != std::string_view::npos && sameName(line.substr(0, colon), name)) {
            return std::string(trimmed(line.substr(colon + 1)));
        }
    }
    return std::nullopt;
}

} // namespace RawHeaders
