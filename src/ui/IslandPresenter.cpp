#include "ui/IslandPresenter.h"

#include "core/overlay/OverlayController.h"
#include "core/overlay/OverlayModel.h"

#include <algorithm>
#include <cmath>

namespace {

bool isRecording(OverlayState state) {
    return state == OverlayState::recording || state == OverlayState::commandMode;
}

} // namespace

IslandPresenter::IslandPresenter(OverlayController& controller, QObject* parent)
    : QObject(parent)
    , m_controller(controller)
    , m_model(*controller.model())
    , m_lastState(m_model.state()) {
    for (const auto changed :
         {&OverlayModel::isVisibleChanged, &OverlayModel::notchRectChanged, &OverlayModel::hasNotchChanged}) {
        connect(&m_model, changed, this, &IslandPresenter::layoutChanged);
    }
    connect(&m_model, &OverlayModel::stateChanged, this, &IslandPresenter::handleStateChange);
    connect(&m_model, &OverlayModel::elapsedSecondsChanged, this, &IslandPresenter::handleElapsedChange);
    connect(&controller, &OverlayController::panelOpacityChanged, this,
            &IslandPresenter::panelOpacityChanged);
    handleElapsedChange();
}

bool IslandPresenter::expanded() const {
    return m_model.isVisible();
}

IslandPresenter::Geometry IslandPresenter::geometry() const {
    return geometryFor(m_model.state(), m_model.isVisible(), m_model.notchRect().size(), m_model.hasNotch());
}

IslandPresenter::Geometry IslandPresenter::geometryFor(OverlayState state, bool visible, QSizeF notchSize,
                                                       bool hasNotch) {
    const double notchWidth = notchSize.width();
    const double notchHeight = hasNotch ? notchSize.height() : 0;
    Geometry geometry;
    double pillWidth = 180;
    if (!visible || state == OverlayState::idle) {
        geometry.height = hasNotch ? notchHeight : 36;
        geometry.bottomRadius = hasNotch ? 8 : 18;
    } else if (isRecording(state)) {
        pillWidth = 320;
        geometry.height = notchHeight + contentAreaHeight + 8;
        geometry.bottomRadius = 26;
    } else {
        pillWidth = state == OverlayState::done ? 280 : 300;
        geometry.height = notchHeight + 40;
        geometry.bottomRadius = 20;
    }
    geometry.width = hasNotch ? notchWidth : pillWidth;
    geometry.topRadius = hasNotch ? (visible ? 10 : 6) : geometry.bottomRadius;
    return geometry;
}

double IslandPresenter::watermarkTopPadding() const {
    return m_model.hasNotch() ? std::max(m_model.notchRect().height() - 14, 4.0) : 6.0;
}

QString IslandPresenter::content() const {
    switch (m_model.state()) {
    case OverlayState::idle:
        return QStringLiteral("none");
    case OverlayState::recording:
    case OverlayState::commandMode:
        return QStringLiteral("recording");
    case OverlayState::transcribing:
        return QStringLiteral("transcribing");
    case OverlayState::done:
        return QStringLiteral("done");
    case OverlayState::error:
        return QStringLiteral("error");
    }
    return QStringLiteral("none");
}

QColor IslandPresenter::accentColor() const {
    switch (m_model.state()) {
    case OverlayState::idle:
        return Qt::white;
    case OverlayState::recording:
        return voiceRed;
    case OverlayState::commandMode:
        return commandBlue;
    case OverlayState::transcribing:
        return transcribeAmber;
    case OverlayState::done:
        return successGreen;
    case OverlayState::error:
        return errorRed;
    }
    return Qt::white;
}

QString IslandPresenter::glyph() const {
    switch (m_model.state()) {
    case OverlayState::done:
        return QStringLiteral("check-circle");
    case OverlayState::error:
        return QStringLiteral("warning-triangle");
    default:
        return {};
    }
}

void IslandPresenter::setGlowVisible(bool visible) {
    if (m_glowVisible != visible) {
        m_glowVisible = visible;
        emit glowVisibleChanged();
    }
}

double IslandPresenter::panelOpacity() const {
    return m_controller.panelOpacity();
}

int IslandPresenter::fadeDurationMs() const {
    return static_cast<int>(std::lround(OverlayController::fadeDuration * 1000));
}

QString IslandPresenter::formatTimer(double seconds) {
    const auto whole = static_cast<qint64>(std::max(0.0, seconds));
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

void IslandPresenter::handleStateChange() {
    const OverlayState state = m_model.state();
    const bool enteredError = state == OverlayState::error && m_lastState != OverlayState::error;
    m_lastState = state;
    emit stateChanged();
    emit layoutChanged();
    if (enteredError) {
        emit shakeRequested();
    }
}

void IslandPresenter::handleElapsedChange() {
    const auto whole = static_cast<qint64>(std::max(0.0, m_model.elapsedSeconds()));
    if (whole != m_elapsedShown) {
        m_elapsedShown = whole;
        emit timerTextChanged();
    }
}
