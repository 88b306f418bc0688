#pragma once

#include <cstdint>
#include <vector>

// One utterance as the recognisers take it: 16 kHz, mono, signed 16-bit samples.
struct AudioClip {
    static constexpr int sampleRate = 16000;

    std::vector<std::int16_t> samples;

    double durationSeconds() const { return double(samples.size()) / sampleRate; }
};
