#pragma once

#include <QPointF>
#include <QRectF>

#include <vector>

// One display, in global coordinates (origin top-left, y grows downwards).
struct ScreenInfo {
    QRectF frame;
    // Camera-notch description where the display has one; zero elsewhere.
    double safeAreaTopInset = 0;
    double auxiliaryTopLeftWidth = 0;
    double auxiliaryTopRightWidth = 0;
    bool isMain = false;
};

class Screens {
public:
    virtual ~Screens() = default;

    virtual std::vector<ScreenInfo> screens() const = 0;
    virtual QPointF pointerPosition() const = 0;
};
