#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class IAudioCaptureService;
class PTTAppState;

// What a running instance answers to a command line handed over by another launch.
struct RemoteReply {
    int exitCode = 0;
    QString message;
};

// The commands that drive a running Orlavo: for window-manager key bindings, and for desktops where
// the hotkey cannot be heard.
namespace RemoteCommands {

// toggle, start, stop, cancel, settings.
bool isRemoteCommand(const QString& name);

// Runs a handed-over command line: the commands above, or none at all (a second plain launch),
// which opens the status pop-over through `openStatus`. `settings` opens and raises the settings
// window through `openSettings`.
RemoteReply run(const QStringList& arguments, PTTAppState& controller, const IAudioCaptureService& capture,
                const std::function<void()>& openStatus, const std::function<void()>& openSettings = {});

} // namespace RemoteCommands
