#include "server/service/RequestId.h"

#include <cstdio>
#include <random>

namespace RequestId {

std::string next() {
    thread_local std::mt19937_64 generator{std::random_device{}()};
    char text[24] = {};
    std::snprintf(text, sizeof text, "req_%016llx", static_cast<unsigned long long>(generator()));
    return text;
}

} // namespace RequestId
