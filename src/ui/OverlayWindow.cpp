#include "ui/OverlayWindow.h"

#include "core/overlay/OverlayController.h"

#include <QBitmap>
#include <QPainter>
#include <QPainterPath>
#include <QQuickItem>
#include <QQuickView>
#include <QSurfaceFormat>

#include <algorithm>

OverlayWindow::OverlayWindow(OverlayController& controller, QQmlEngine& engine,
                             std::function<bool()> isCompositing, QObject* parent)
    : QObject(parent)
    , m_controller(controller)
    , m_engine(engine)
    , m_isCompositing(std::move(isCompositing))
    , m_presenter(controller) {
    connect(&controller, &OverlayController::panelGeometryChanged, this, &OverlayWindow::followGeometry);
    connect(&controller, &OverlayController::panelVisibleChanged, this, &OverlayWindow::followVisibility);
    connect(&controller, &OverlayController::panelRaised, this, [this] {
        ensureWindow();
        m_presenter.setGlowVisible(!m_isCompositing || m_isCompositing());
        updateMask();
        m_view->raise();
    });
    connect(&m_presenter, &IslandPresenter::layoutChanged, this, &OverlayWindow::updateMask);
    connect(&m_presenter, &IslandPresenter::glowVisibleChanged, this, &OverlayWindow::updateMask);
}

OverlayWindow::~OverlayWindow() = default;

QQuickWindow* OverlayWindow::window() const {
    return m_view.get();
}

void OverlayWindow::ensureWindow() {
    if (m_view) {
        return;
    }
    m_view = std::make_unique<QQuickView>(&m_engine, nullptr);
    // Bypassing the window manager keeps it out of the focus chain, the task bar and window
    // cycling; the other hints say the same to the toolkit and to managers that look anyway.
    m_view->setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                     Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput |
                     Qt::X11BypassWindowManagerHint);
    m_view->setTitle(QStringLiteral("Orlavo overlay"));
    QSurfaceFormat format = m_view->format();
    format.setAlphaBufferSize(8);
    m_view->setFormat(format);
    m_view->setColor(Qt::transparent);
    m_view->setResizeMode(QQuickView::SizeRootObjectToView);
    m_view->setInitialProperties({{QStringLiteral("presenter"), QVariant::fromValue(&m_presenter)}});
    m_view->setSource(QUrl(viewUrl));
    followGeometry();
}

void OverlayWindow::followGeometry() {
    if (m_view) {
        m_view->setGeometry(m_controller.panelGeometry().toAlignedRect());
        updateMask();
    }
}

void OverlayWindow::followVisibility() {
    if (m_controller.panelVisible()) {
        ensureWindow();
        m_view->show();
    } else if (m_view) {
        m_view->hide();
    }
}

void OverlayWindow::updateMask() {
    if (!m_view) {
        return;
    }
    if (m_presenter.glowVisible()) {
        m_view->setMask(QRegion());
        return;
    }
    m_view->setMask(islandMask(m_view->size(), m_presenter.geometry()));
}

QRegion OverlayWindow::islandMask(const QSize& panelSize, const IslandPresenter::Geometry& island) {
    const QSizeF size(std::min<double>(island.width, panelSize.width()),
                      std::min<double>(island.height, panelSize.height()));
    if (size.isEmpty()) {
        return QRegion(0, 0, 1, 1);
    }
    const QRectF bounds(QPointF((panelSize.width() - size.width()) / 2, 0), size);
    const double top = std::min({island.topRadius, size.width() / 2, size.height() / 2});
    const double bottom = std::min({island.bottomRadius, size.width() / 2, size.height() / 2});
    QPainterPath outline;
    outline.moveTo(bounds.left() + top, bounds.top());
    outline.arcTo(QRectF(bounds.right() - 2 * top, bounds.top(), 2 * top, 2 * top), 90, -90);
    outline.arcTo(QRectF(bounds.right() - 2 * bottom, bounds.bottom() - 2 * bottom, 2 * bottom, 2 * bottom),
                  0, -90);
    outline.arcTo(QRectF(bounds.left(), bounds.bottom() - 2 * bottom, 2 * bottom, 2 * bottom), 270, -90);
    outline.arcTo(QRectF(bounds.left(), bounds.top(), 2 * top, 2 * top), 180, -90);
    outline.closeSubpath();
    QBitmap bitmap(panelSize);
    bitmap.clear();
    QPainter painter(&bitmap);
    painter.fillPath(outline, Qt::color1);
    painter.end();
    return QRegion(bitmap);
}
