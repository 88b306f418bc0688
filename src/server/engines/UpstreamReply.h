#pragma once

#include <string>

// What an upstream answered at the HTTP level.
struct UpstreamReply {
    long status = 0;
    std::string body;
};
