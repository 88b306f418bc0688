#include "core/overlay/OverlayController.h"

#include "core/ports/Screens.h"
#include "core/ports/SoundPlayer.h"

namespace {

bool isRecordingState(OverlayState state) {
    return state == OverlayState::recording || state == OverlayState::commandMode;
}

// Half-open, so that a pointer on the seam between two screens belongs to one of them only.
bool containsPoint(const QRectF& frame, const QPointF& point) {
    return point.x() >= frame.left() && point.x() < frame.left() + frame.width() &&
           point.y() >= frame.top() && point.y() < frame.top() + frame.height();
}

} // namespace

OverlayController::OverlayController(Screens& screens, SoundPlayer& sounds, Scheduler& scheduler,
                                     QObject* parent)
    : QObject(parent)
    , m_screens(screens)
    , m_sounds(sounds)
    , m_scheduler(scheduler)
    , m_model(this) {}

OverlayController::~OverlayController() {
    stopTicker();
    cancelCollapses();
}

std::optional<OverlayState> OverlayController::stateForText(const QString& text) {
    const QString lower = text.toLower();
    if (lower.contains(QLatin1String("transcrib")) || lower.contains(QLatin1String("editing"))) {
        return OverlayState::transcribing;
    }
    if (text == QLatin1String("Done") || text == QLatin1String("Note saved")) {
        return OverlayState::done;
    }
    if (text.contains(QLatin1String("Try again")) || text.contains(QLatin1String("denied")) ||
        text == QLatin1String("Cancelled")) {
        return OverlayState::error;
    }
    return std::nullopt;
}

QSizeF OverlayController::notchSize(const ScreenInfo& screen) {
    if (screen.safeAreaTopInset <= 0 || screen.auxiliaryTopLeftWidth <= 0 ||
        screen.auxiliaryTopRightWidth <= 0) {
        return {};
    }
    const double width = screen.frame.width() - screen.auxiliaryTopLeftWidth - screen.auxiliaryTopRightWidth;
    if (width <= 0) {
        return {};
    }
    return {width, screen.safeAreaTopInset};
}

void OverlayController::show(const QString& text, OverlayState state) {
    cancelCollapses();
    configureGeometry();
    m_model.setText(text);
    m_model.setState(state);
    m_model.setElapsedSeconds(0);
    m_model.setAudioLevel(0);
    setPanelOpacity(1);
    setPanelVisible(true);
    Q_EMIT panelRaised();
    m_model.setVisible(true);
    if (isRecordingState(state)) {
        startTicker();
    } else {
        stopTicker();
    }
}

void OverlayController::update(const QString& text, std::optional<OverlayState> state) {
    m_model.setText(text);
    const OverlayState next = state ? *state : stateForText(text).value_or(m_model.state());
    m_model.setState(next);
    if (!isRecordingState(next)) {
        stopTicker();
        m_model.setAudioLevel(0);
    }
    if (next == OverlayState::error) {
        m_sounds.play(QStringLiteral("Basso"));
    } else if (next == OverlayState::done) {
        m_sounds.play(QStringLiteral("Pop"));
    }
}

void OverlayController::hide(double afterSeconds) {
    stopTicker();
    m_model.setAudioLevel(0);
    const quint64 generation = m_generation;
    if (afterSeconds > 0) {
        m_collapseTimers.push_back(
            m_scheduler.after(afterSeconds, [this, generation] { collapse(generation); }));
    } else {
        collapse(generation);
    }
}

void OverlayController::setAudioLevel(float level) {
    // A level that arrives after the recording ended would leave the meter standing.
    if (isRecordingState(m_model.state())) {
        m_model.setAudioLevel(level);
    }
}

void OverlayController::collapse(quint64 generation) {
    if (generation != m_generation) {
        return;
    }
    m_model.setVisible(false);
    m_collapseTimers.push_back(m_scheduler.after(collapseToFade, [this, generation] {
        if (generation != m_generation) {
            return;
        }
        setPanelOpacity(0);
        m_collapseTimers.push_back(m_scheduler.after(fadeDuration, [this, generation] {
            if (generation != m_generation) {
                return;
            }
            setPanelVisible(false);
            m_model.setState(OverlayState::idle);
        }));
    }));
}

void OverlayController::cancelCollapses() {
    ++m_generation;
    for (const Scheduler::TimerId timer : m_collapseTimers) {
        m_scheduler.cancel(timer);
    }
    m_collapseTimers.clear();
}

std::optional<ScreenInfo> OverlayController::activeScreen() const {
    const std::vector<ScreenInfo> screens = m_screens.screens();
    if (screens.empty()) {
        return std::nullopt;
    }
    const QPointF pointer = m_screens.pointerPosition();
    for (const ScreenInfo& screen : screens) {
        if (containsPoint(screen.frame, pointer)) {
            return screen;
        }
    }
    for (const ScreenInfo& screen : screens) {
        if (screen.isMain) {
            return screen;
        }
    }
    return screens.front();
}

void OverlayController::configureGeometry() {
    // Without any screen the last known placement is kept.
    const std::optional<ScreenInfo> screen = activeScreen();
    if (!screen) {
        return;
    }
    const QRectF frame = screen->frame;
    const QSizeF notch = notchSize(*screen);
    const bool hasNotch = !notch.isEmpty();
    const QSizeF shape = hasNotch ? notch : placeholderNotch;
    m_model.setScreenFrame(frame);
    m_model.setHasNotch(hasNotch);
    m_model.setNotchRect(QRectF((frame.width() - shape.width()) / 2, 0, shape.width(), shape.height()));
    setPanelGeometry(QRectF(frame.left(), frame.top(), frame.width(), panelHeight));
}

void OverlayController::startTicker() {
    stopTicker();
    m_recordingStartedAt = m_scheduler.clock().monotonicSeconds();
    m_model.setElapsedSeconds(0);
    m_ticker = m_scheduler.repeating(tickInterval, [this] { tick(); });
}

void OverlayController::stopTicker() {
    if (m_ticker != Scheduler::invalidTimer) {
        m_scheduler.cancel(m_ticker);
        m_ticker = Scheduler::invalidTimer;
    }
    m_recordingStartedAt.reset();
}

void OverlayController::tick() {
    if (!m_recordingStartedAt) {
        return;
    }
    const double elapsed = m_scheduler.clock().monotonicSeconds() - *m_recordingStartedAt;
    m_model.setElapsedSeconds(elapsed);
    const QString label = m_model.state() == OverlayState::commandMode ? QStringLiteral("Command")
                                                                       : QStringLiteral("Recording");
    m_model.setText(label + QLatin1Char(' ') + QString::number(elapsed, 'f', 1) + QLatin1Char('s'));
}

void OverlayController::setPanelGeometry(const QRectF& geometry) {
    if (m_panelGeometry != geometry) {
        m_panelGeometry = geometry;
        Q_EMIT panelGeometryChanged();
    }
}

void OverlayController::setPanelVisible(bool visible) {
    if (m_panelVisible != visible) {
        m_panelVisible = visible;
        Q_EMIT panelVisibleChanged();
    }
}

void OverlayController::setPanelOpacity(double opacity) {
    if (m_panelOpacity != opacity) {
        m_panelOpacity = opacity;
        Q_EMIT panelOpacityChanged();
    }
}
