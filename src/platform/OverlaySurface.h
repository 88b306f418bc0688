#pragma once

#include <QImage>
#include <QSize>

#include <functional>

// A surface of the desktop's own kind for the overlay, where a window of ours could take the
// focus (Wayland's layer shell): pinned to the top of the screen across its width, above
// windows, never given the keyboard and transparent to the pointer. It shows the frames it is
// given; what they hold is drawn by the user interface. Main thread only.
class OverlaySurface {
public:
    virtual ~OverlaySurface() = default;

    // Maps the surface, `height` tall; `onConfigured` gets the size the desktop gave it, which
    // the frames must have. Called again should the desktop change it.
    virtual void show(int height, std::function<void(QSize)> onConfigured) = 0;
    // Shows `frame` (premultiplied ARGB of the configured size) as soon as it can; a frame given
    // before the desktop answered, or while every buffer is busy, waits, and a newer one replaces it.
    virtual void present(const QImage& frame) = 0;
    virtual void hide() = 0;
};
