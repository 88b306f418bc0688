#pragma once

#include "ui/IslandPresenter.h"
#include "ui/IslandRenderer.h"

#include <QObject>
#include <QTimer>

#include <memory>

class OverlayController;
class OverlaySurface;
class QQmlEngine;

// The island on a surface of the desktop's own kind (the layer shell): the same view as the
// overlay window, drawn off screen and handed over frame by frame while the panel is shown, at
// most 30 frames a second, following the controller's panel visibility.
class LayerShellOverlay final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LayerShellOverlay)

public:
    static constexpr int frameIntervalMs = 33;

    LayerShellOverlay(OverlayController& controller, QQmlEngine& engine,
                      std::unique_ptr<OverlaySurface> surface, QObject* parent = nullptr);
    ~LayerShellOverlay() override;

    IslandPresenter& presenter() { return m_presenter; }
    // How many frames went to the surface: the island is being drawn.
    int framesPresented() const { return m_framesPresented; }

private:
    void followVisibility();
    void scheduleFrame();
    void presentFrame();

    OverlayController& m_controller;
    IslandPresenter m_presenter;
    IslandRenderer m_renderer;
    std::unique_ptr<OverlaySurface> m_surface;
    QTimer m_frameTimer;
    bool m_shown = false;
    int m_framesPresented = 0;
};
