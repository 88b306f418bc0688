#pragma once

#include <cstddef>
#include <vector>

// Test signals as interleaved float frames in [-1, 1] (values beyond are clipping).
namespace AudioSignal {

// The same sine on every channel.
std::vector<float> sine(double frequency, double amplitude, int sampleRate, int channels, double seconds);
std::vector<float> silence(int sampleRate, int channels, double seconds);
// Uniform white noise from a fixed seed.
std::vector<float> noise(double amplitude, int sampleRate, int channels, double seconds, unsigned seed = 7);

} // namespace AudioSignal
