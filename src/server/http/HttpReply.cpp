#include "server/http/HttpReply.h"

namespace HttpReply {

namespace {

// The app decides whether to try again by finding these statuses in the reason text.
std::string_view retryableName(int status) {
    switch (status) {
    case 429:
        return "429 Too Many Requests";
    case 502:
        return "502 Bad Gateway";
    case 503:
        return "503 Service Unavailable";
    case 504:
        return "504 Gateway Timeout";
    default:
        return {};
    }
}

} // namespace

void text(httplib::Response& response, int status, std::string_view reason) {
    response.status = status;
    std::string line;
    line.reserve(reason.size() + 32);
    if (const std::string_view name = retryableName(status);
        !name.empty() && reason.substr(0, 3) != name.substr(0, 3)) {
        line.append(name).append(": ");
    }
    for (const char c : reason) {
        line.push_back(c == '\r' || c == '\n' ? ' ' : c);
    }
    response.set_content(line, "text/plain; charset=utf-8");
}

void json(httplib::Response& response, int status, const std::string& body) {
    response.status = status;
    response.set_content(body, "application/json");
}

std::string_view defaultReason(int status) {
    switch (status) {
    case 400:
        return "malformed HTTP request";
    case 404:
        return "no such endpoint";
    case 408:
        return "request timeout: the request did not arrive in time";
    case 413:
        return "request body too large";
    case 414:
        return "request line too long";
    case 416:
        return "range not satisfiable";
    default:
        return status >= 500 ? "internal error" : "request refused";
    }
}

} // namespace HttpReply
