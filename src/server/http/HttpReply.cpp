#include "HttpReply.h"

namespace HttpReply {

void text(httplib::Response& response, int status, std::string_view reason) {
    response.status = status;
    std::string line;
    line.reserve(reason.size());
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
