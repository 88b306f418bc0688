#pragma once

#include <httplib.h>
#include <string>
#include <string_view>

namespace HttpReply {

// A refusal: the status and a one-line plain-text reason, which the app shows as the error's
// description.
void text(httplib::Response& response, int status, std::string_view reason);
void json(httplib::Response& response, int status, const std::string& body);

// The reason phrase for statuses the library produces on its own.
std::string_view defaultReason(int status);

} // namespace HttpReply
