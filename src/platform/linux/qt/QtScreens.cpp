#include "platform/linux/qt/QtScreens.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

std::vector<ScreenInfo> QtScreens::screens() const {
    std::vector<ScreenInfo> result;
    const QScreen* primary = QGuiApplication::primaryScreen();
    for (const QScreen* screen : QGuiApplication::screens()) {
        ScreenInfo info;
        info.frame = QRectF(screen->geometry());
        info.isMain = screen == primary;
        result.push_back(info);
    }
    return result;
}

QPointF QtScreens::pointerPosition() const {
    return QPointF(QCursor::pos());
}
