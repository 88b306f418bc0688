#include "ui/WaveformModel.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace {

// Seconds from the Unix epoch to 1 January 2001, the origin the phases are counted from.
constexpr double referenceDateOffset = 978307200.0;

} // namespace

WaveformModel::WaveformModel(QObject* parent)
    : QObject(parent)
    , m_heights(bars, minHeight) {}

void WaveformModel::setLevel(double level) {
    if (m_level != level) {
        m_level = level;
        emit levelChanged();
    }
}

void WaveformModel::advance() {
    advanceTo(static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0 - referenceDateOffset);
}

void WaveformModel::advanceTo(double seconds) {
    m_time = seconds;
    QList<qreal> heights(bars);
    for (int index = 0; index < bars; ++index) {
        heights[index] = barHeight(index, m_level, m_time);
    }
    if (heights != m_heights) {
        m_heights = std::move(heights);
        emit barHeightsChanged();
    }
}

double WaveformModel::barHeight(int index, double level, double seconds) {
    if (level < silenceLevel) {
        return minHeight;
    }
    const double t = seconds;
    const auto x = static_cast<double>(index);
    const double wave = 0.25 * std::sin(5 * t + 0.6 * x) + 0.15 * std::sin(9 * t + 0.35 * x) +
                        0.1 * std::sin(14 * t + 0.8 * x);
    const double centre = (bars - 1) / 2.0;
    const double distance = std::abs(x - centre) / centre;
    const double envelope = std::exp(-2 * distance * distance);
    return std::max(minHeight, envelope * level * maxHeight * (wave + 0.6));
}
