#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <memory>

class Clock;
class QQmlEngine;
class QQuickView;
class QQuickWindow;
class StatusMenuModel;

// The pop-over of the tray icon: a frameless window beside the icon holding the status menu. It
// closes when it loses the focus, and reads the day's figures again each time it opens.
class StatusPopover final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusPopover)

public:
    static inline const QString viewUrl = QStringLiteral("qrc:/qt/qml/Orlavo/Ui/StatusMenuView.qml");
    // A click on the tray icon that closed the pop-over (by taking the focus) must not open it
    // again at once.
    static constexpr double reopenGuardSeconds = 0.3;

    StatusPopover(StatusMenuModel& menu, QQmlEngine& engine, const Clock& clock, QObject* parent = nullptr);
    ~StatusPopover() override;

    // Opens beside `anchor` (the tray icon, in global coordinates; empty when unknown: then beside
    // the pointer), or closes when open.
    void toggle(const QRect& anchor);
    void open(const QRect& anchor);
    void close();
    bool isOpen() const;
    // Null until first opened.
    QQuickWindow* window() const;

    // Where a window of `size` goes beside `anchor`: below it when the anchor is in the upper half
    // of `available`, above it otherwise, right-aligned with it, and always inside `available`.
    static QPoint placement(const QRect& anchor, const QSize& size, const QRect& available);

private:
    void ensureWindow();
    void handleActiveChange();

    StatusMenuModel& m_menu;
    QQmlEngine& m_engine;
    const Clock& m_clock;
    std::unique_ptr<QQuickView> m_view;
    double m_closedByFocusLossAt = -1;
};
