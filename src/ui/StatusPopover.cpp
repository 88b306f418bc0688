#include "ui/StatusPopover.h"

#include "core/ports/Clock.h"
#include "ui/StatusMenuModel.h"

#include <QCursor>
#include <QGuiApplication>
#include <QQuickView>
#include <QScreen>

#include <algorithm>

StatusPopover::StatusPopover(StatusMenuModel& menu, QQmlEngine& engine, const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_menu(menu)
    , m_engine(engine)
    , m_clock(clock) {}

StatusPopover::~StatusPopover() = default;

QQuickWindow* StatusPopover::window() const {
    return m_view.get();
}

bool StatusPopover::isOpen() const {
    return m_view && m_view->isVisible();
}

void StatusPopover::toggle(const QRect& anchor) {
    if (isOpen()) {
        close();
        return;
    }
    if (m_closedByFocusLossAt >= 0 &&
        m_clock.monotonicSeconds() - m_closedByFocusLossAt < reopenGuardSeconds) {
        return;
    }
    open(anchor);
}

void StatusPopover::open(const QRect& anchor) {
    ensureWindow();
    m_menu.refresh();
    const QPoint pointer = QCursor::pos();
    QScreen* screen = QGuiApplication::screenAt(anchor.isEmpty() ? pointer : anchor.center());
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    const QRect available = screen ? screen->availableGeometry() : QRect(QPoint(), m_view->size());
    const QRect target = anchor.isEmpty() ? QRect(pointer, QSize(1, 1)) : anchor;
    m_view->setPosition(placement(target, m_view->size(), available));
    m_view->show();
    m_view->raise();
    m_view->requestActivate();
}

void StatusPopover::close() {
    if (m_view) {
        m_view->hide();
    }
}

QPoint StatusPopover::placement(const QRect& anchor, const QSize& size, const QRect& available) {
    const bool below = anchor.center().y() < available.center().y();
    int x = anchor.right() + 1 - size.width();
    int y = below ? anchor.bottom() + 1 + 4 : anchor.top() - 4 - size.height();
    x = std::clamp(x, available.left(), std::max(available.left(), available.right() + 1 - size.width()));
    y = std::clamp(y, available.top(), std::max(available.top(), available.bottom() + 1 - size.height()));
    return {x, y};
}

void StatusPopover::ensureWindow() {
    if (m_view) {
        return;
    }
    m_view = std::make_unique<QQuickView>(&m_engine, nullptr);
    m_view->setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    m_view->setTitle(QStringLiteral("Orlavo"));
    m_view->setResizeMode(QQuickView::SizeViewToRootObject);
    m_view->setInitialProperties({{QStringLiteral("menu"), QVariant::fromValue(&m_menu)}});
    m_view->setSource(QUrl(viewUrl));
    connect(m_view.get(), &QWindow::activeChanged, this, &StatusPopover::handleActiveChange);
    connect(&m_menu, &StatusMenuModel::settingsRequested, this, &StatusPopover::close);
}

void StatusPopover::handleActiveChange() {
    if (m_view->isVisible() && !m_view->isActive()) {
        m_closedByFocusLossAt = m_clock.monotonicSeconds();
        m_view->hide();
    }
}
