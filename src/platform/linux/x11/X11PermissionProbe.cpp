#include "platform/linux/x11/X11PermissionProbe.h"

#include "core/ports/AudioInput.h"
#include "platform/linux/x11/X11Connection.h"
#include "platform/linux/x11/X11ConnectionProvider.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

X11PermissionProbe::X11PermissionProbe(std::shared_ptr<X11ConnectionProvider> connections,
                                       const AudioInput& audioInput)
    : m_connections(std::move(connections))
    , m_audioInput(audioInput) {
    m_worker.setMaxThreadCount(1);
}

X11PermissionProbe::~X11PermissionProbe() {
    m_worker.waitForDone();
}

QCoro::Task<PermissionState> X11PermissionProbe::probe() {
    if (m_pending) {
        const auto shared = *m_pending;
        co_return co_await shared;
    }
    const PendingValue<PermissionState> pending;
    m_pending = pending;
    m_worker.start([this] {
        QString whyNot;
        const std::unique_ptr<X11Connection> connection = X11Connection::open(&whyNot);
        const PermissionState state{connection && !keyboardProblemOn(*connection),
                                    m_audioInput.isAuthorized()};
        QMetaObject::invokeMethod(
            &m_receiver,
            [this, state] {
                if (m_pending) {
                    auto answered = std::move(*m_pending);
                    m_pending.reset();
                    answered.set(state);
                }
            },
            Qt::QueuedConnection);
    });
    co_return co_await pending;
}

std::optional<QString> X11PermissionProbe::keyboardProblem(X11ConnectionProvider& connections) {
    X11Connection* connection = connections.get();
    if (!connection) {
        return connections.lastError();
    }
    return keyboardProblemOn(*connection);
}

std::optional<QString> X11PermissionProbe::keyboardProblemOn(X11Connection& connection) {
    Display* display = connection.display();
    int opcode = 0;
    int event = 0;
    int error = 0;
    if (!XQueryExtension(display, "XInputExtension", &opcode, &event, &error)) {
        return QStringLiteral("the X server has no XInput extension");
    }
    int major = 2;
    int minor = 2;
    if (XIQueryVersion(display, &major, &minor) != Success || major < 2) {
        return QStringLiteral("the X server does not offer XInput 2");
    }
    if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
        return QStringLiteral("the X server has no XTest extension");
    }
    return std::nullopt;
}

bool X11PermissionProbe::isAccessibilityTrusted() const {
    return !keyboardProblem(*m_connections).has_value();
}

bool X11PermissionProbe::isMicrophoneAuthorized() const {
    return m_audioInput.isAuthorized();
}

QCoro::Task<bool> X11PermissionProbe::requestMicrophoneAccess() {
    // There is no prompt to show: the answer is the state.
    co_return isMicrophoneAuthorized();
}

std::optional<QString> X11PermissionProbe::unsupportedDesktopReason() const {
    const std::optional<QString> problem = keyboardProblem(*m_connections);
    if (!problem) {
        return std::nullopt;
    }
    return unsupportedReason(*problem);
}

QString X11PermissionProbe::unsupportedReason(const QString& keyboardProblem) {
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
                         qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland");
    if (wayland && qEnvironmentVariableIsEmpty("DISPLAY")) {
        return QStringLiteral(
            "X11 was asked for, but this Wayland session offers no X display (XWayland). Unset "
            "ORLAVO_PLATFORM to use Orlavo's Wayland support, or log in to an X11 session.");
    }
    return QStringLiteral("Orlavo needs an X11 session to hear the hotkey and type text, but %1. "
                          "Start Orlavo inside a graphical X11 session.")
        .arg(keyboardProblem);
}
