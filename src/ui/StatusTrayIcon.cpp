#include "ui/StatusTrayIcon.h"

#include "ui/ThemeIcons.h"

#include <QMenu>
#include <QSystemTrayIcon>

StatusTrayIcon::StatusTrayIcon(StatusMenuModel& menu, QObject* parent)
    : QObject(parent)
    , m_menu(menu)
    , m_contextMenu(std::make_unique<QMenu>())
    , m_tray(std::make_unique<QSystemTrayIcon>()) {
    m_contextMenu->addAction(QStringLiteral("Open Orlavo"), this,
                             [this] { emit popoverRequested(geometry()); });
    m_contextMenu->addAction(QStringLiteral("Settings"), &menu, &StatusMenuModel::openSettings);
    m_contextMenu->addSeparator();
    m_contextMenu->addAction(QStringLiteral("Quit"), &menu, &StatusMenuModel::quit);
    m_tray->setContextMenu(m_contextMenu.get());
    connect(m_tray.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                    emit popoverRequested(geometry());
                }
            });
    connect(&menu, &StatusMenuModel::iconStateChanged, this, &StatusTrayIcon::updateIcon);
    updateIcon();
}

StatusTrayIcon::~StatusTrayIcon() {
    // The tray refers to its menu: it goes first.
    m_tray.reset();
}

bool StatusTrayIcon::show() {
    // Shown even without a tray now: one that starts later (a panel after the session's
    // programs) still gets the icon.
    m_tray->show();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool StatusTrayIcon::isVisible() const {
    return m_tray->isVisible();
}

QRect StatusTrayIcon::geometry() const {
    return m_tray->geometry();
}

QString StatusTrayIcon::iconNameFor(StatusMenuModel::IconState state) {
    switch (state) {
    case StatusMenuModel::IconState::off:
        return QStringLiteral("mic-off");
    case StatusMenuModel::IconState::recording:
        return QStringLiteral("recording");
    case StatusMenuModel::IconState::on:
        break;
    }
    return QStringLiteral("mic");
}

QString StatusTrayIcon::toolTipFor(StatusMenuModel::IconState state) {
    switch (state) {
    case StatusMenuModel::IconState::off:
        return QStringLiteral("Orlavo: Off");
    case StatusMenuModel::IconState::recording:
        return QStringLiteral("Orlavo: Recording");
    case StatusMenuModel::IconState::on:
        break;
    }
    return QStringLiteral("Orlavo: On");
}

void StatusTrayIcon::updateIcon() {
    const StatusMenuModel::IconState state = m_menu.iconState();
    m_iconName = iconNameFor(state);
    m_tray->setIcon(ThemeIcons::icon(m_iconName));
    m_tray->setToolTip(toolTipFor(state));
}
