#pragma once

#include "core/ports/Screens.h"

// Displays and a pointer position set by the test.
class FixedScreens final : public Screens {
public:
    std::vector<ScreenInfo> screens() const override { return displays; }
    QPointF pointerPosition() const override { return pointer; }

    std::vector<ScreenInfo> displays;
    QPointF pointer;
};
