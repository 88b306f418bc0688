#include "core/audio/PcmNormalizer.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace PcmNormalizer {

int peak(std::span<const qint16> samples) {
    int highest = 0;
    int lowest = 0;
    for (const qint16 sample : samples) {
        highest = std::max<int>(highest, sample);
        lowest = std::min<int>(lowest, sample);
    }
    return std::min(32767, std::max(highest, -lowest));
}

double gainFor(int peakValue, double targetLevel) {
    if (peakValue <= noiseFloorPeak) {
        return 1.0;
    }
    const double gain = std::min(maximumGain, targetLevel * 32767.0 / peakValue);
    return gain < minimumGain ? 1.0 : gain;
}

double normalize(std::span<qint16> samples, double targetLevel) {
    const double gain = gainFor(peak(samples), targetLevel);
    if (gain == 1.0) {
        return gain;
    }
    auto scale = [gain](int sample) {
        const double scaled = std::round(sample * gain); // halves away from zero
        return static_cast<qint16>(std::clamp(scaled, -32768.0, 32767.0));
    };
    // Past a few seconds of audio it is cheaper to scale every possible value once.
    constexpr std::size_t values = 65536;
    if (samples.size() <= values) {
        for (qint16& sample : samples) {
            sample = scale(sample);
        }
        return gain;
    }
    std::vector<qint16> table(values);
    for (std::size_t index = 0; index < values; ++index) {
        table[index] = scale(static_cast<int>(index) - 32768);
    }
    for (qint16& sample : samples) {
        sample = table[static_cast<std::size_t>(sample + 32768)];
    }
    return gain;
}

} // namespace PcmNormalizer
