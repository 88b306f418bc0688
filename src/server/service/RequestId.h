#pragma once

#include <string>

namespace RequestId {

// "req_" and 16 hexadecimal digits; unique enough to find one request in a log.
std::string next();

} // namespace RequestId
