#include "platform/linux/wayland/LayerShellSurface.h"

#include "core/common/CoreLogging.h"
#include "platform/linux/wayland/LayerShellProtocol.h"
#include "platform/linux/wayland/ShmBuffer.h"
#include "platform/linux/wayland/WaylandConnection.h"

#include <QDebug>

#include <wayland-client.h>

namespace {

const zwlr_layer_surface_v1_listener layerListener{&LayerShellSurface::onConfigure,
                                                   &LayerShellSurface::onClosed};
constexpr std::size_t maxBuffers = 2;

} // namespace

std::unique_ptr<LayerShellSurface> LayerShellSurface::create(std::shared_ptr<WaylandConnection> connection) {
    if (!connection || !connection->isConnected()) {
        return nullptr;
    }
    std::unique_ptr<LayerShellSurface> made(new LayerShellSurface);
    made->m_shell = connection->bind<zwlr_layer_shell_v1>(zwlr_layer_shell_v1_interface, 1);
    made->m_compositor = connection->bind<wl_compositor>(wl_compositor_interface, 4);
    made->m_shm = connection->bind<wl_shm>(wl_shm_interface, 1);
    made->m_connection = std::move(connection);
    if (made->m_shell == nullptr || made->m_compositor == nullptr || made->m_shm == nullptr) {
        return nullptr;
    }
    return made;
}

LayerShellSurface::~LayerShellSurface() {
    destroySurface();
    m_buffers.clear();
    if (m_shm != nullptr) {
        wl_shm_destroy(m_shm);
    }
    if (m_compositor != nullptr) {
        wl_compositor_destroy(m_compositor);
    }
    if (m_shell != nullptr) {
        zwlr_layer_shell_v1_destroy(m_shell);
    }
    if (m_connection) {
        m_connection->flush();
    }
}

void LayerShellSurface::show(int height, std::function<void(QSize)> onConfigured) {
    m_onConfigured = std::move(onConfigured);
    if (m_layer != nullptr || !m_connection->isConnected()) {
        return;
    }
    m_surface = wl_compositor_create_surface(m_compositor);
    // Clicks go to whatever is below: the input region is empty.
    wl_region* nothing = wl_compositor_create_region(m_compositor);
    wl_surface_set_input_region(m_surface, nothing);
    wl_region_destroy(nothing);
    m_layer = zwlr_layer_shell_v1_get_layer_surface(m_shell, m_surface, nullptr,
                                                    ZWLR_LAYER_SHELL_V1_LAYER_TOP, layerNamespace);
    zwlr_layer_surface_v1_add_listener(m_layer, &layerListener, this);
    zwlr_layer_surface_v1_set_anchor(m_layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP |
                                                  ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                                  ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    // Width 0: the compositor gives the output's width. An exclusive zone of -1 puts the island
    // at the very top, over a panel's reserved strip, like the menu bar it grows out of.
    zwlr_layer_surface_v1_set_size(m_layer, 0, quint32(height));
    zwlr_layer_surface_v1_set_exclusive_zone(m_layer, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(m_layer,
                                                     ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    wl_surface_commit(m_surface);
    m_connection->flush();
}

void LayerShellSurface::hide() {
    destroySurface();
    m_pending = QImage();
    m_connection->flush();
}

void LayerShellSurface::destroySurface() {
    if (m_layer != nullptr) {
        zwlr_layer_surface_v1_destroy(m_layer);
        m_layer = nullptr;
    }
    if (m_surface != nullptr) {
        wl_surface_destroy(m_surface);
        m_surface = nullptr;
    }
    m_configured = false;
}

void LayerShellSurface::onConfigure(void* data, zwlr_layer_surface_v1* surface, quint32 serial, quint32 width,
                                    quint32 height) {
    auto* self = static_cast<LayerShellSurface*>(data);
    zwlr_layer_surface_v1_ack_configure(surface, serial);
    const QSize size{int(width), int(height)};
    const bool changed = size != self->m_size;
    self->m_size = size;
    self->m_configured = true;
    if (changed) {
        self->m_buffers.clear();
    }
    if (self->m_onConfigured) {
        self->m_onConfigured(size);
    }
    self->presentPending();
}

void LayerShellSurface::onClosed(void* data, zwlr_layer_surface_v1*) {
    // The output went away: a later show makes a new surface on whichever output is there.
    static_cast<LayerShellSurface*>(data)->destroySurface();
}

ShmBuffer* LayerShellSurface::freeBuffer() {
    for (const std::unique_ptr<ShmBuffer>& buffer : m_buffers) {
        if (!buffer->isBusy() && buffer->size() == m_size) {
            return buffer.get();
        }
    }
    if (m_buffers.size() >= maxBuffers) {
        return nullptr;
    }
    Result<std::unique_ptr<ShmBuffer>> made = ShmBuffer::create(m_shm, m_size);
    if (!made) {
        qCWarning(lcOverlay).noquote() << "Overlay buffer:" << made.error().description;
        return nullptr;
    }
    made.value()->setOnReleased([this] { presentPending(); });
    m_buffers.push_back(std::move(made).value());
    return m_buffers.back().get();
}

void LayerShellSurface::present(const QImage& frame) {
    m_pending = frame;
    presentPending();
}

void LayerShellSurface::presentPending() {
    if (m_pending.isNull() || !m_configured || m_surface == nullptr) {
        return;
    }
    ShmBuffer* buffer = freeBuffer();
    if (buffer == nullptr) {
        return;
    }
    buffer->fill(m_pending);
    m_pending = QImage();
    wl_surface_attach(m_surface, buffer->buffer(), 0, 0);
    wl_surface_damage_buffer(m_surface, 0, 0, m_size.width(), m_size.height());
    wl_surface_commit(m_surface);
    m_connection->flush();
}
