#include "ui/SetupWizardWindow.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPointer>
#include <QQuickView>
#include <QScreen>
#include <QTimer>

SetupWizardWindow::SetupWizardWindow(QQmlEngine& engine, SetupWizardModel::Ports ports, QObject* parent)
    : QObject(parent)
    , m_model(std::move(ports))
    , m_view(std::make_unique<QQuickView>(&engine, nullptr)) {
    m_view->setTitle(title);
    m_view->setResizeMode(QQuickView::SizeRootObjectToView);
    m_view->setMinimumSize(minimumSize);
    m_view->resize(contentSize);
    m_view->setColor(QColor::fromRgbF(0.98f, 0.976f, 0.968f));
    m_view->setInitialProperties({{QStringLiteral("wizard"), QVariant::fromValue<QObject*>(&m_model)}});
    m_view->setSource(QUrl(viewUrl));
    connect(m_view.get(), &QWindow::visibleChanged, this, [this](bool visible) {
        if (!visible) {
            emit closed();
        }
    });
    // Each step starts from the window's own size, whatever the user made of the last one.
    connect(&m_model, &SetupWizardModel::changed, this, [this] {
        if (m_model.step() != m_shownStep) {
            m_shownStep = m_model.step();
            m_view->resize(contentSize);
        }
    });
}

SetupWizardWindow::~SetupWizardWindow() {
    // Going away is not the user closing the window.
    disconnect(m_view.get(), nullptr, this, nullptr);
}

QQuickWindow* SetupWizardWindow::window() const {
    return m_view.get();
}

bool SetupWizardWindow::isOpen() const {
    return m_view->isVisible();
}

void SetupWizardWindow::present() {
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen) {
        const QRect available = screen->availableGeometry();
        m_view->setPosition(available.center() - QPoint(m_view->width() / 2, m_view->height() / 2));
    }
    m_view->show();
    m_view->raise();
    const QPointer<QQuickView> view(m_view.get());
    QTimer::singleShot(activationDelayMs, m_view.get(), [view] {
        if (view && view->isVisible()) {
            view->raise();
            view->requestActivate();
        }
    });
}

void SetupWizardWindow::close() {
    m_view->close();
}
