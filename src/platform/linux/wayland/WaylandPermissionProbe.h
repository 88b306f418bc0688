#pragma once

#include "core/ports/PermissionProbe.h"

class AudioInput;

#include <functional>

// On Wayland the hotkey and the typing each come through a path of their own (a desktop portal,
// the keyboards' devices, a virtual keyboard). Each path says why it cannot serve; a portal may
// say so only once the user has answered its dialog, so the problems are asked for every time.
class WaylandPermissionProbe final : public PermissionProbe {
public:
    using Problem = std::function<std::optional<QString>()>;

    // `keyboardProblem`: why the hotkey cannot be heard; `typingProblem`: why no key can be typed.
    WaylandPermissionProbe(Problem keyboardProblem, Problem typingProblem, const AudioInput& audioInput);

    bool isAccessibilityTrusted() const override;
    bool isMicrophoneAuthorized() const override;
    QCoro::Task<bool> requestMicrophoneAccess() override;
    // The keyboard problem, where there is one: without it the hotkey is never heard, which is
    // what the user must act on; the typing problem alone leaves the text on the clipboard.
    std::optional<QString> unsupportedDesktopReason() const override;

private:
    Problem m_keyboardProblem;
    Problem m_typingProblem;
    const AudioInput& m_audioInput;
};
