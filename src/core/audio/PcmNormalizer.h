#pragma once

#include <QtGlobal>

#include <span>

// Raises quiet recordings towards a target peak before upload. Only ever amplifies, and only when it
// is worth it; silence and faint noise are left alone so that they stay recognisable as silence.
namespace PcmNormalizer {

// Peaks at or below this are left as they are.
inline constexpr int noiseFloorPeak = 1499;
inline constexpr double maximumGain = 10.0;
inline constexpr double minimumGain = 1.1;

// The largest sample magnitude, with -32768 counted as 32767.
int peak(std::span<const qint16> samples);

// The gain normalize() would apply: 1 when the samples are left as they are.
double gainFor(int peak, double targetLevel);

// Scales the samples in place (rounded half away from zero, clamped to 16 bits) so that the peak
// reaches targetLevel of full scale; returns the gain applied.
double normalize(std::span<qint16> samples, double targetLevel);

} // namespace PcmNormalizer
