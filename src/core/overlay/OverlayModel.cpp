#include "core/overlay/OverlayModel.h"

#include <algorithm>
#include <cmath>

namespace {

template <typename T, typename Signal>
void assign(OverlayModel* model, T& field, const T& value, Signal changed) {
    if (field == value) {
        return;
    }
    field = value;
    Q_EMIT(model->*changed)();
}

} // namespace

OverlayModel::OverlayModel(QObject* parent)
    : QObject(parent) {}

void OverlayModel::setText(const QString& text) {
    assign(this, m_text, text, &OverlayModel::textChanged);
}

void OverlayModel::setState(OverlayState state) {
    assign(this, m_state, state, &OverlayModel::stateChanged);
}

void OverlayModel::setVisible(bool visible) {
    assign(this, m_isVisible, visible, &OverlayModel::isVisibleChanged);
}

void OverlayModel::setNotchRect(const QRectF& rect) {
    assign(this, m_notchRect, rect, &OverlayModel::notchRectChanged);
}

void OverlayModel::setHasNotch(bool hasNotch) {
    assign(this, m_hasNotch, hasNotch, &OverlayModel::hasNotchChanged);
}

void OverlayModel::setScreenFrame(const QRectF& frame) {
    assign(this, m_screenFrame, frame, &OverlayModel::screenFrameChanged);
}

void OverlayModel::setElapsedSeconds(double seconds) {
    assign(this, m_elapsedSeconds, seconds, &OverlayModel::elapsedSecondsChanged);
}

void OverlayModel::setAudioLevel(float level) {
    // The meter draws whatever it is given; keep it inside [0, 1] whatever the source.
    const float bounded = std::isfinite(level) ? std::clamp(level, 0.0f, 1.0f) : 0.0f;
    assign(this, m_audioLevel, bounded, &OverlayModel::audioLevelChanged);
}
