#pragma once

#include "core/ports/PermissionProbe.h"
#include "platform/linux/async/PendingValue.h"

#include <QObject>
#include <QThreadPool>

#include <memory>

class AudioInput;
class X11Connection;
class X11ConnectionProvider;

// On X11 nothing is granted per application: global keys can be heard and typed when the display
// offers XInput 2 and XTest, and the microphone is usable when the sound server has an input.
class X11PermissionProbe final : public PermissionProbe {
public:
    X11PermissionProbe(std::shared_ptr<X11ConnectionProvider> connections, const AudioInput& audioInput);
    // Waits for a probe still running on the worker.
    ~X11PermissionProbe() override;
    X11PermissionProbe(const X11PermissionProbe&) = delete;
    X11PermissionProbe& operator=(const X11PermissionProbe&) = delete;

    // On a worker thread with a display connection of its own: the X round trips and the sound
    // server (which may hang for seconds) never hold up the main thread. Concurrent calls share one
    // probe.
    QCoro::Task<PermissionState> probe() override;

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
    static std::optional<QString> keyboardProblemOn(X11Connection& connection);

    std::shared_ptr<X11ConnectionProvider> m_connections;
    const AudioInput& m_audioInput;
    // Receives the worker's answer on the main thread; gone with the probe.
    QObject m_receiver;
    QThreadPool m_worker;
    std::optional<PendingValue<PermissionState>> m_pending;
};
