#include "AudioSignal.h"

#include <cmath>
#include <numbers>
#include <random>

namespace {

std::size_t frames(int sampleRate, double seconds) {
    return static_cast<std::size_t>(std::llround(sampleRate * seconds));
}

} // namespace

namespace AudioSignal {

std::vector<float> sine(double frequency, double amplitude, int sampleRate, int channels, double seconds) {
    const std::size_t count = frames(sampleRate, seconds);
    std::vector<float> samples(count * static_cast<std::size_t>(channels));
    for (std::size_t frame = 0; frame < count; ++frame) {
        const double value =
            amplitude * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(frame) / sampleRate);
        for (int channel = 0; channel < channels; ++channel) {
            samples[frame * static_cast<std::size_t>(channels) + static_cast<std::size_t>(channel)] =
                static_cast<float>(value);
        }
    }
    return samples;
}

std::vector<float> silence(int sampleRate, int channels, double seconds) {
    return std::vector<float>(frames(sampleRate, seconds) * static_cast<std::size_t>(channels), 0.0f);
}

std::vector<float> noise(double amplitude, int sampleRate, int channels, double seconds, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> distribution(static_cast<float>(-amplitude),
                                                       static_cast<float>(amplitude));
    std::vector<float> samples(frames(sampleRate, seconds) * static_cast<std::size_t>(channels));
    for (float& sample : samples) {
        sample = distribution(generator);
    }
    return samples;
}

} // namespace AudioSignal
