#include "PlaceholderWindow.h"

#include <QQuickItem>
#include <QQuickView>

PlaceholderWindow::PlaceholderWindow(QQmlEngine& engine, Texts texts, QObject* parent)
    : QObject(parent)
    , m_engine(engine)
    , m_texts(std::move(texts)) {}

PlaceholderWindow::~PlaceholderWindow() = default;

QQuickWindow* PlaceholderWindow::window() const {
    return m_view.get();
}

bool PlaceholderWindow::isOpen() const {
    return m_view && m_view->isVisible();
}

void PlaceholderWindow::present() {
    if (!m_view) {
        m_view = std::make_unique<QQuickView>(&m_engine, nullptr);
        m_view->setTitle(m_texts.title);
        m_view->setResizeMode(QQuickView::SizeViewToRootObject);
        m_view->setInitialProperties({{QStringLiteral("heading"), m_texts.heading},
                                      {QStringLiteral("message"), m_texts.message},
                                      {QStringLiteral("actionText"), m_texts.actionText}});
        m_view->setSource(QUrl(viewUrl));
        if (QQuickItem* root = m_view->rootObject()) {
            connect(root, SIGNAL(actionTriggered()), this, SIGNAL(actionTriggered()));
        }
        connect(m_view.get(), &QWindow::visibleChanged, this, [this](bool visible) {
            if (!visible) {
                emit closed();
            }
        });
    }
    m_view->show();
    m_view->raise();
    m_view->requestActivate();
}

void PlaceholderWindow::close() {
    if (m_view) {
        m_view->close();
    }
}
