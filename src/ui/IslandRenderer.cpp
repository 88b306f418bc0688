#include "ui/IslandRenderer.h"

#include "core/common/CoreLogging.h"
#include "ui/IslandPresenter.h"
#include "ui/OverlayWindow.h"

#include <QDebug>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickRenderControl>
#include <QQuickWindow>
#include <QSGRendererInterface>

IslandRenderer::IslandRenderer(QQmlEngine& engine, IslandPresenter& presenter, QObject* parent)
    : QObject(parent)
    , m_control(std::make_unique<QQuickRenderControl>())
    , m_window(std::make_unique<QQuickWindow>(m_control.get())) {
    m_window->setColor(Qt::transparent);
    QQmlComponent component(&engine, QUrl(OverlayWindow::viewUrl));
    std::unique_ptr<QObject> made(component.createWithInitialProperties(
        {{QStringLiteral("presenter"), QVariant::fromValue(&presenter)}}));
    auto* root = qobject_cast<QQuickItem*>(made.get());
    if (root == nullptr) {
        qCWarning(lcOverlay).noquote() << "The island view did not load:" << component.errorString();
        return;
    }
    made.release();
    m_root.reset(root);
    m_root->setParentItem(m_window->contentItem());
    connect(m_control.get(), &QQuickRenderControl::renderRequested, this, &IslandRenderer::changed);
    connect(m_control.get(), &QQuickRenderControl::sceneChanged, this, &IslandRenderer::changed);
}

IslandRenderer::~IslandRenderer() {
    // Taking the scene down asks for frames: no one may be told of them, as the owner listening
    // for them is usually being destroyed too (its frame timer already gone).
    disconnect(m_control.get(), nullptr, this, nullptr);
    // The items go before the window that holds their scene graph.
    m_root.reset();
    m_window.reset();
}

void IslandRenderer::setSize(QSize size) {
    m_window->resize(size);
    m_window->contentItem()->setSize(size);
    if (m_root) {
        m_root->setSize(size);
    }
}

QSize IslandRenderer::size() const {
    return m_window->size();
}

QImage IslandRenderer::render() {
    if (!m_root || m_window->size().isEmpty()) {
        return {};
    }
    if (!m_initialized) {
        // The software renderer needs no graphics device: initialize() would ask for one (and
        // fail where there is no GPU), so only the hardware ones are initialised.
        m_initialized = m_window->rendererInterface()->graphicsApi() == QSGRendererInterface::Software ||
                        m_control->initialize();
        if (!m_initialized) {
            qCWarning(lcOverlay) << "The island cannot be drawn off screen";
            return {};
        }
    }
    // With the software renderer, a render-controlled window's grab polishes, synchronises and
    // renders the scene into the picture.
    return m_window->grabWindow();
}
