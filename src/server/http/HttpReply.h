#pragma once

#include "server/http/HttpStatus.h"

#include <httplib.h>
#include <string>
#include <string_view>

namespace HttpReply {

// A refusal: the status and a one-line plain-text reason, which the app shows as the error's
// description.
void text(httplib::Response& response, int status, std::string_view reason);
void json(httplib::Response& response, int status, const std::string& body);

inline void text(httplib::Response& response, HttpStatus status, std::string_view reason) {
    text(response, statusCode(status), reason);
}
inline void json(httplib::Response& response, HttpStatus status, const std::string& body) {
    json(response, statusCode(status), body);
}

// The reason phrase for statuses the library produces on its own.
std::string_view defaultReason(int status);

} // namespace HttpReply
