#pragma once

#include <QCoroTask>
#include <QString>

#include <optional>

// The two permissions a dictation needs, read together.
struct PermissionState {
    bool accessibilityTrusted = false;
    bool microphoneAuthorized = false;

    friend bool operator==(const PermissionState&, const PermissionState&) = default;
};

// What the platform lets this process do. Reading never prompts the user.
class PermissionProbe {
public:
    virtual ~PermissionProbe() = default;

    // Both permissions, without blocking the caller's thread where the checks can wait (on a
    // display or a sound server). This default suits probes that answer at once.
    virtual QCoro::Task<PermissionState> probe() {
        co_return PermissionState{isAccessibilityTrusted(), isMicrophoneAuthorized()};
    }

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
