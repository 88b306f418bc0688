#include "PcmNormalizer.h"

#include <algorithm>
#include <cmath>

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
    for (qint16& sample : samples) {
        const double scaled = std::round(sample * gain); // halves away from zero
        sample = static_cast<qint16>(std::clamp(scaled, -32768.0, 32767.0));
    }
    return gain;
}

} // namespace PcmNormalizer
