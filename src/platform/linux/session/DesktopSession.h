#pragma once

#include <QString>

// Which platform family serves this login session, and why. In a Wayland session an X11 client
// hears only the keys typed into its own windows, so the Wayland family is used there even when
// XWayland offers an X display; ORLAVO_PLATFORM overrides the choice.
struct DesktopSession {
    enum class Family { x11, wayland, none };

    // The variables the choice depends on; empty when unset.
    struct Environment {
        QString platformOverride; // ORLAVO_PLATFORM
        QString waylandDisplay;   // WAYLAND_DISPLAY
        QString sessionType;      // XDG_SESSION_TYPE
        QString x11Display;       // DISPLAY
        QString qtPlatform;       // QT_QPA_PLATFORM

        static Environment fromProcess();
    };

    Family family = Family::none;
    QString reason;

    static DesktopSession detect(const Environment& environment);

    // The Qt platform the interface should run on: the user's QT_QPA_PLATFORM, else X11 wherever
    // there is an X display (also XWayland: windows may place themselves there and the clipboard
    // is shared without the focus), else Wayland; empty when there is no display at all.
    static QString qtPlatform(const Environment& environment);

    static QString familyName(Family family);
};
