#include "app/RemoteCommands.h"

#include "core/audio/IAudioCaptureService.h"
#include "core/dictation/PTTAppState.h"

#include <array>

namespace RemoteCommands {

namespace {

constexpr std::array names{"toggle", "start", "stop", "cancel", "settings"};

} // namespace

bool isRemoteCommand(const QString& name) {
    for (const char* known : names) {
        if (name == QLatin1String(known)) {
            return true;
        }
    }
    return false;
}

RemoteReply run(const QStringList& arguments, PTTAppState& controller, const IAudioCaptureService& capture,
                const std::function<void()>& openStatus, const std::function<void()>& openSettings) {
    if (arguments.isEmpty()) {
        if (openStatus) {
            openStatus();
        }
        return {0, QStringLiteral("Orlavo is already running.")};
    }
    const QString& command = arguments.first();
    if (arguments.size() > 1 || !isRemoteCommand(command)) {
        return {2, QStringLiteral(
                       "Orlavo is already running; it takes only toggle, start, stop, cancel or settings.")};
    }
    if (command == QLatin1String("settings")) {
        if (openSettings) {
            openSettings();
        }
        return {0, {}};
    }
    // A command-line recording is a latched one: it runs until stop, however it was started.
    const bool recording = capture.state() != IAudioCaptureService::State::idle;
    if (command == QLatin1String("start") || (command == QLatin1String("toggle") && !recording)) {
        controller.handleHotkey(HotkeySignal::toggleOn);
    } else if (command == QLatin1String("stop") || command == QLatin1String("toggle")) {
        controller.handleHotkey(HotkeySignal::toggleOff);
    } else {
        controller.handleHotkey(HotkeySignal::cancel);
    }
    return {0, {}};
}

} // namespace RemoteCommands
