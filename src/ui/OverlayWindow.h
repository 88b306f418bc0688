#pragma once

#include "ui/IslandPresenter.h"

#include <QObject>
#include <QRegion>

#include <functional>
#include <memory>

class OverlayController;
class QQmlEngine;
class QQuickView;
class QQuickWindow;

// The window that carries the island: frameless, above everything, translucent, never focused and
// transparent to the pointer, spanning the top edge of the screen the controller picked. It follows
// the controller's panel geometry, visibility and raise requests. The window is made on the first
// show and kept; without a compositor it is shaped to the island, since its transparent parts
// would be drawn black.
class OverlayWindow final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OverlayWindow)

public:
    static inline const QString viewUrl = QStringLiteral("qrc:/qt/qml/Orlavo/Ui/DynamicIslandView.qml");

    // `isCompositing` is asked at every show: a compositor may come or go while we run.
    OverlayWindow(OverlayController& controller, QQmlEngine& engine, std::function<bool()> isCompositing,
                  QObject* parent = nullptr);
    ~OverlayWindow() override;

    IslandPresenter& presenter() { return m_presenter; }
    // Null until the overlay was first shown.
    QQuickWindow* window() const;
    // The shape of the window without a compositor: the island's rounded outline.
    static QRegion islandMask(const QSize& panelSize, const IslandPresenter::Geometry& island);

private:
    void ensureWindow();
    void followGeometry();
    void followVisibility();
    void updateMask();

    OverlayController& m_controller;
    QQmlEngine& m_engine;
    std::function<bool()> m_isCompositing;
    IslandPresenter m_presenter;
    std::unique_ptr<QQuickView> m_view;
};
