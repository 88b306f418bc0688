#pragma once

#include "platform/OverlaySurface.h"

#include <QImage>
#include <QSize>

#include <memory>
#include <vector>

class ShmBuffer;
class WaylandConnection;
struct wl_compositor;
struct wl_shm;
struct wl_surface;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;

// The overlay as a layer-shell surface (wlroots and KDE compositors): on the top layer, anchored
// to the top edge across the width and above any panel's exclusive zone, no keyboard
// interactivity and an empty input region, so it never takes the focus and every click goes
// through. Frames are copied into shared-memory buffers of our own connection, two at most.
// Hiding destroys the layer surface (that unmaps it); showing makes a new one.
class LayerShellSurface final : public OverlaySurface {
public:
    static inline const char* const layerNamespace = "orlavo-overlay";

    // Null where the compositor offers no layer shell (GNOME), or no shared memory.
    static std::unique_ptr<LayerShellSurface> create(std::shared_ptr<WaylandConnection> connection);
    ~LayerShellSurface() override;
    LayerShellSurface(const LayerShellSurface&) = delete;
    LayerShellSurface& operator=(const LayerShellSurface&) = delete;

    void show(int height, std::function<void(QSize)> onConfigured) override;
    void present(const QImage& frame) override;
    void hide() override;

    static void onConfigure(void* data, zwlr_layer_surface_v1* surface, quint32 serial, quint32 width,
                            quint32 height);
    static void onClosed(void* data, zwlr_layer_surface_v1* surface);

private:
    LayerShellSurface() = default;
    void destroySurface();
    ShmBuffer* freeBuffer();
    void presentPending();

    std::shared_ptr<WaylandConnection> m_connection;
    wl_compositor* m_compositor = nullptr;
    wl_shm* m_shm = nullptr;
    zwlr_layer_shell_v1* m_shell = nullptr;
    wl_surface* m_surface = nullptr;
    zwlr_layer_surface_v1* m_layer = nullptr;
    std::function<void(QSize)> m_onConfigured;
    QSize m_size;
    bool m_configured = false;
    QImage m_pending;
    std::vector<std::unique_ptr<ShmBuffer>> m_buffers;
};
