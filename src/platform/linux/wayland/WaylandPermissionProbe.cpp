#include "platform/linux/wayland/WaylandPermissionProbe.h"

#include "core/ports/AudioInput.h"

WaylandPermissionProbe::WaylandPermissionProbe(Problem keyboardProblem, Problem typingProblem,
                                               const AudioInput& audioInput)
    : m_keyboardProblem(std::move(keyboardProblem))
    , m_typingProblem(std::move(typingProblem))
    , m_audioInput(audioInput) {}

bool WaylandPermissionProbe::isAccessibilityTrusted() const {
    return !m_keyboardProblem() && !m_typingProblem();
}

bool WaylandPermissionProbe::isMicrophoneAuthorized() const {
    return m_audioInput.isAuthorized();
}

QCoro::Task<bool> WaylandPermissionProbe::requestMicrophoneAccess() {
    co_return isMicrophoneAuthorized();
}

std::optional<QString> WaylandPermissionProbe::unsupportedDesktopReason() const {
    if (const std::optional<QString> problem = m_keyboardProblem()) {
        return QStringLiteral("The hotkey cannot be heard: %1.").arg(*problem);
    }
    return std::nullopt;
}
