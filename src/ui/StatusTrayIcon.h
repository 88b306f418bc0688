#pragma once

#include "ui/StatusMenuModel.h"

#include <QObject>
#include <QRect>

#include <memory>

class QMenu;
class QSystemTrayIcon;

// The icon in the system tray. Its picture follows the dictation state (off, on, recording); a
// click opens the status pop-over. Its context menu repeats the pop-over's Settings and Quit
// for trays that only offer menus.
class StatusTrayIcon final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusTrayIcon)

public:
    explicit StatusTrayIcon(StatusMenuModel& menu, QObject* parent = nullptr);
    ~StatusTrayIcon() override;

    // False when the desktop has no tray to show it in yet.
    bool show();
    bool isVisible() const;
    // Where the icon is on the screen; empty when the tray does not say.
    QRect geometry() const;
    QString iconName() const { return m_iconName; }

    static QString iconNameFor(StatusMenuModel::IconState state);
    static QString toolTipFor(StatusMenuModel::IconState state);

Q_SIGNALS:
    void popoverRequested(const QRect& anchor);

private:
    void updateIcon();

    StatusMenuModel& m_menu;
    std::unique_ptr<QMenu> m_contextMenu;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    QString m_iconName;
};
