#pragma once

#include <chrono>
#include <cstddef>
#include <string>

// What the routes need to know beyond their engines.
struct ServiceSettings {
    std::size_t maxAudioBytes = 25u << 20;
    // No longer than the byte limit allows in the recognisers' format (16 kHz mono 16-bit).
    double maxAudioSeconds = double(25u << 20) / 32000.0;
    std::size_t maxEditBytes = 1u << 20;
    std::chrono::milliseconds requestTimeout{30000};
    std::string version;
};
