#pragma once

#include "core/ports/Screens.h"

// The displays as Qt knows them. No Linux display reports a camera notch: the notch fields stay 0.
// Needs a QGuiApplication.
class QtScreens final : public Screens {
public:
    std::vector<ScreenInfo> screens() const override;
    QPointF pointerPosition() const override;
};
