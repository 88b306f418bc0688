#pragma once

#include <chrono>
#include <cstddef>
#include <string>

// What the routes need to know beyond their engines.
struct ServiceSettings {
    std::size_t maxAudioBytes = 25u << 20;
    std::size_t maxEditBytes = 1u << 20;
    std::chrono::milliseconds requestTimeout{30000};
    bool upstreamConfigured = false;
    std::string version;
};
