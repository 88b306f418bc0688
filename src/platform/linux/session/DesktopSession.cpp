#include "platform/linux/session/DesktopSession.h"

#include <QtGlobal>

DesktopSession::Environment DesktopSession::Environment::fromProcess() {
    return Environment{
        .platformOverride = qEnvironmentVariable("ORLAVO_PLATFORM"),
        .waylandDisplay = qEnvironmentVariable("WAYLAND_DISPLAY"),
        .sessionType = qEnvironmentVariable("XDG_SESSION_TYPE"),
        .x11Display = qEnvironmentVariable("DISPLAY"),
        .qtPlatform = qEnvironmentVariable("QT_QPA_PLATFORM"),
    };
}

DesktopSession DesktopSession::detect(const Environment& environment) {
    const QString& requested = environment.platformOverride;
    if (requested == QLatin1String("null")) {
        return {Family::none, QStringLiteral("ORLAVO_PLATFORM=null asks for no desktop platform")};
    }
    if (requested == QLatin1String("x11")) {
        return {Family::x11, QStringLiteral("ORLAVO_PLATFORM=x11 asks for X11")};
    }
    if (requested == QLatin1String("wayland")) {
        return {Family::wayland, QStringLiteral("ORLAVO_PLATFORM=wayland asks for Wayland")};
    }
    if (!requested.isEmpty()) {
        return {
            Family::none,
            QStringLiteral("ORLAVO_PLATFORM=%1 is not a known platform (x11, wayland, null)").arg(requested)};
    }
    const bool waylandSession = environment.sessionType == QLatin1String("wayland");
    if (!environment.waylandDisplay.isEmpty() || waylandSession) {
        QString reason =
            environment.waylandDisplay.isEmpty()
                ? QStringLiteral("a Wayland session (XDG_SESSION_TYPE=wayland)")
                : QStringLiteral("a Wayland session (WAYLAND_DISPLAY=%1)").arg(environment.waylandDisplay);
        if (!environment.x11Display.isEmpty()) {
            reason +=
                QStringLiteral("; XWayland (DISPLAY=%1) would hear only the keys typed into X11 windows")
                    .arg(environment.x11Display);
        }
        return {Family::wayland, reason};
    }
    if (!environment.x11Display.isEmpty()) {
        return {Family::x11, QStringLiteral("an X11 session (DISPLAY=%1)").arg(environment.x11Display)};
    }
    return {Family::none, QStringLiteral("no graphical session: neither WAYLAND_DISPLAY nor DISPLAY is set")};
}

QString DesktopSession::qtPlatform(const Environment& environment) {
    if (!environment.qtPlatform.isEmpty()) {
        return environment.qtPlatform;
    }
    if (!environment.x11Display.isEmpty()) {
        return QStringLiteral("xcb");
    }
    if (!environment.waylandDisplay.isEmpty()) {
        return QStringLiteral("wayland");
    }
    return {};
}

QString DesktopSession::familyName(Family family) {
    switch (family) {
    case Family::x11:
        return QStringLiteral("x11");
    case Family::wayland:
        return QStringLiteral("wayland");
    case Family::none:
        break;
    }
    return QStringLiteral("null");
}
