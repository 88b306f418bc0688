#pragma once

#include "core/ports/Screens.h"

// One full-HD display with the pointer in its middle, so that whatever places windows has a screen
// to place them on.
class NullScreens final : public Screens {
public:
    std::vector<ScreenInfo> screens() const override {
        ScreenInfo screen;
        screen.frame = QRectF(0, 0, 1920, 1080);
        screen.isMain = true;
        return {screen};
    }
    QPointF pointerPosition() const override { return {960, 540}; }
};
