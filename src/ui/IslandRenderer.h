#pragma once

#include <QImage>
#include <QObject>
#include <QSize>

#include <memory>

class IslandPresenter;
class QQmlEngine;
class QQuickItem;
class QQuickRenderControl;
class QQuickWindow;

// The island view drawn off screen into pictures, for desktops where the overlay is a surface of
// the desktop's own kind rather than a window of ours (Qt cannot give its windows the layer-shell
// role without private API). A Quick window driven by a render control, with the software
// renderer: it never becomes a platform window, so nothing of it can take the focus.
class IslandRenderer final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(IslandRenderer)

public:
    IslandRenderer(QQmlEngine& engine, IslandPresenter& presenter, QObject* parent = nullptr);
    ~IslandRenderer() override;

    // The picture's size: the overlay's surface.
    void setSize(QSize size);
    QSize size() const;
    // The island as it looks now, premultiplied ARGB; null before a size was set or when the
    // view did not load.
    QImage render();

Q_SIGNALS:
    // Something on the island moved or changed: a new picture is due.
    void changed();

private:
    std::unique_ptr<QQuickRenderControl> m_control;
    std::unique_ptr<QQuickWindow> m_window;
    std::unique_ptr<QQuickItem> m_root;
    bool m_initialized = false;
};
