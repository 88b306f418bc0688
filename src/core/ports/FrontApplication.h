#pragma once

#include <QString>

#include <optional>

// What the user is typing into: the focused top-level window's application.
struct FrontApplicationInfo {
    // The name shown to the user and used to classify the application ("Slack", "Visual Studio Code").
    QString displayName;
    // The window-system class (WM_CLASS class part on X11, app id on Wayland), e.g. "XTerm".
    QString windowClass;
    // The instance part of WM_CLASS, e.g. "xterm"; empty where there is none.
    QString instanceName;
    // The desktop knows it as a terminal emulator (its desktop file says so), whatever its class.
    bool isTerminalEmulator = false;

    friend bool operator==(const FrontApplicationInfo&, const FrontApplicationInfo&) = default;
};

class FrontApplication {
public:
    virtual ~FrontApplication() = default;

    // Absent when no window has the focus or it vanished while being asked.
    virtual std::optional<FrontApplicationInfo> current() const = 0;
};
