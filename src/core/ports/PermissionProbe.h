#pragma once

#include <QCoroTask>
#include <QString>

#include <optional>

// What the platform lets this process do. Reading never prompts the user.
class PermissionProbe {
public:
    virtual ~PermissionProbe() = default;

    // Global key events can be observed and synthesised (X11: display reachable with XTest and XI2).
    virtual bool isAccessibilityTrusted() const = 0;

    // An audio input can be opened.
    virtual bool isMicrophoneAuthorized() const = 0;

    // Asks for microphone access where the platform has such a prompt; answers the current state
    // elsewhere.
    virtual QCoro::Task<bool> requestMicrophoneAccess() = 0;

    // Why dictation cannot work on this desktop at all (no X11 and no supported Wayland path), in
    // words for the user; absent when it can.
    virtual std::optional<QString> unsupportedDesktopReason() const = 0;
};
