#include "platform/linux/x11/X11KeyboardAccessCheck.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <memory>

namespace X11KeyboardAccessCheck {

std::optional<QString> problem() {
    const QByteArray name = qgetenv("DISPLAY");
    if (name.isEmpty()) {
        return QStringLiteral("there is no X display (DISPLAY is not set)");
    }
    const std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(name.constData()), XCloseDisplay);
    if (!display) {
        return QStringLiteral("the X display %1 cannot be reached").arg(QString::fromLocal8Bit(name));
    }
    int opcode = 0;
    int event = 0;
    int error = 0;
    // Asked before XIQueryVersion, which would otherwise fail with an X error on a server without it.
    if (!XQueryExtension(display.get(), "XInputExtension", &opcode, &event, &error)) {
        return QStringLiteral("the X server has no XInput extension, so the shortcut cannot be heard");
    }
    int major = 2;
    int minor = 2;
    if (XIQueryVersion(display.get(), &major, &minor) != Success || major < 2) {
        return QStringLiteral("the X server does not offer XInput 2, so the shortcut cannot be heard");
    }
    if (!XTestQueryExtension(display.get(), &event, &error, &major, &minor)) {
        return QStringLiteral("the X server has no XTest extension, so the text cannot be pasted");
    }
    return std::nullopt;
}

} // namespace X11KeyboardAccessCheck
