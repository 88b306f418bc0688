#pragma once

#include "core/ports/PermissionProbe.h"

class AudioInput;

// On Wayland no protocol lets a client hear or type the session's keys; Orlavo reads the keyboards
// and types through a virtual one, which the user's groups allow or not. The problems were found
// when the platform was chosen and hold for the run: group membership changes need a new login.
class WaylandPermissionProbe final : public PermissionProbe {
public:
    // `keyboardProblem`: why no keyboard can be read; `typingProblem`: why no key can be typed.
    WaylandPermissionProbe(std::optional<QString> keyboardProblem, std::optional<QString> typingProblem,
                           const AudioInput& audioInput);

    bool isAccessibilityTrusted() const override;
    bool isMicrophoneAuthorized() const override;
    QCoro::Task<bool> requestMicrophoneAccess() override;
    // The keyboard problem, where there is one: without it the hotkey is never heard, which is
    // what the user must act on; the typing problem alone leaves the text on the clipboard.
    std::optional<QString> unsupportedDesktopReason() const override;

private:
    std::optional<QString> m_keyboardProblem;
    std::optional<QString> m_typingProblem;
    const AudioInput& m_audioInput;
};
