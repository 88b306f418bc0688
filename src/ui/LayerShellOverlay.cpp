#include "ui/LayerShellOverlay.h"

#include "core/overlay/OverlayController.h"
#include "platform/OverlaySurface.h"

LayerShellOverlay::LayerShellOverlay(OverlayController& controller, QQmlEngine& engine,
                                     std::unique_ptr<OverlaySurface> surface, QObject* parent)
    : QObject(parent)
    , m_controller(controller)
    , m_presenter(controller)
    , m_renderer(engine, m_presenter)
    , m_surface(std::move(surface)) {
    // Layer-shell compositors always composite: the glow is drawn translucent.
    m_presenter.setGlowVisible(true);
    m_frameTimer.setSingleShot(true);
    m_frameTimer.setInterval(frameIntervalMs);
    connect(&m_frameTimer, &QTimer::timeout, this, &LayerShellOverlay::presentFrame);
    connect(&m_renderer, &IslandRenderer::changed, this, &LayerShellOverlay::scheduleFrame);
    connect(&controller, &OverlayController::panelVisibleChanged, this, &LayerShellOverlay::followVisibility);
}

LayerShellOverlay::~LayerShellOverlay() = default;

void LayerShellOverlay::followVisibility() {
    const bool visible = m_controller.panelVisible();
    if (visible == m_shown) {
        return;
    }
    m_shown = visible;
    if (!visible) {
        m_frameTimer.stop();
        m_surface->hide();
        return;
    }
    m_surface->show(int(m_controller.panelGeometry().height()), [this](QSize size) {
        m_renderer.setSize(size);
        presentFrame();
    });
}

void LayerShellOverlay::scheduleFrame() {
    if (m_shown && !m_frameTimer.isActive()) {
        m_frameTimer.start();
    }
}

void LayerShellOverlay::presentFrame() {
    if (!m_shown) {
        return;
    }
    const QImage frame = m_renderer.render();
    if (frame.isNull()) {
        return;
    }
    m_surface->present(frame);
    ++m_framesPresented;
}
