#pragma once

#include "ports/PermissionProbe.h"

#include <memory>

class AudioInput;
class X11ConnectionProvider;

// On X11 nothing is granted per application: global keys can be heard and typed when the display
// offers XInput 2 and XTest, and the microphone is usable when the sound server has an input.
class X11PermissionProbe final : public PermissionProbe {
public:
    X11PermissionProbe(std::shared_ptr<X11ConnectionProvider> connections, const AudioInput& audioInput);

    bool isAccessibilityTrusted() const override;
    bool isMicrophoneAuthorized() const override;
    QCoro::Task<bool> requestMicrophoneAccess() override;
    std::optional<QString> unsupportedDesktopReason() const override;

    // Why global keys cannot be heard and typed here (no display, an extension missing); absent
    // when they can.
    static std::optional<QString> keyboardProblem(X11ConnectionProvider& connections);

    // What to tell the user when the desktop cannot be used, given that problem.
    static QString unsupportedReason(const QString& keyboardProblem);

private:
    std::shared_ptr<X11ConnectionProvider> m_connections;
    const AudioInput& m_audioInput;
};
