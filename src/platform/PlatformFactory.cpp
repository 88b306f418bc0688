#include "platform/PlatformFactory.h"

#include "platform/common/QtProcessLauncher.h"
#include "platform/linux/atspi/AtspiSelectedTextReader.h"
#include "platform/linux/desktop/DesktopEntryIndex.h"
#include "platform/linux/evdev/EvdevKeyEventSource.h"
#include "platform/linux/evdev/EvdevKeyboardFinder.h"
#include "platform/linux/evdev/KernelDeviceAccess.h"
#include "platform/linux/input/SyntheticKeyLedger.h"
#include "platform/linux/input/XkbWindowKeyTranslator.h"
#include "platform/linux/pulse/PulseAudioInput.h"
#include "platform/linux/qt/QtClipboardPasteboard.h"
#include "platform/linux/qt/QtScreens.h"
#include "platform/linux/session/DesktopSession.h"
#include "platform/linux/sound/CanberraSoundPlayer.h"
#include "platform/linux/uinput/UinputKeySynthesizer.h"
#include "platform/linux/wayland/DataControlPasteboard.h"
#include "platform/linux/wayland/ForeignToplevelFrontApplication.h"
#include "platform/linux/wayland/VirtualKeyboardKeySynthesizer.h"
#include "platform/linux/wayland/WaylandConnection.h"
#include "platform/linux/wayland/WaylandDataControl.h"
#include "platform/linux/wayland/WaylandPermissionProbe.h"
#include "platform/linux/wayland/protocols/virtual-keyboard-unstable-v1-client-protocol.h"
#include "platform/linux/wayland/protocols/wlr-data-control-unstable-v1-client-protocol.h"
#include "platform/linux/wayland/protocols/wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"
#include "platform/linux/x11/X11ClipboardReader.h"
#include "platform/linux/x11/X11Compositor.h"
#include "platform/linux/x11/X11ConnectionProvider.h"
#include "platform/linux/x11/X11FrontApplication.h"
#include "platform/linux/x11/X11KeyEventSource.h"
#include "platform/linux/x11/X11KeyboardAccessCheck.h"
#include "platform/linux/x11/X11PermissionProbe.h"
#include "platform/linux/x11/X11Properties.h"
#include "platform/linux/x11/XTestKeySynthesizer.h"
#include "platform/null/NullAudioInput.h"
#include "platform/null/NullFrontApplication.h"
#include "platform/null/NullKeyEventSource.h"
#include "platform/null/NullKeySynthesizer.h"
#include "platform/null/NullPasteboard.h"
#include "platform/null/NullPermissionProbe.h"
#include "platform/null/NullProcessLauncher.h"
#include "platform/null/NullScreens.h"
#include "platform/null/NullSelectedTextReader.h"
#include "platform/null/NullSoundPlayer.h"

#include <QGuiApplication>

namespace PlatformFactory {

namespace {

const QString inputDirectory = QStringLiteral("/dev/input");
const QString uinputPath = QStringLiteral("/dev/uinput");
// The start-up handshake with the compositor: globals, seat, keymap. A compositor that does not
// answer in this time is taken for absent.
constexpr std::chrono::milliseconds waylandTimeout{2000};

// What the checks found; `nullReason` set means the null platform.
struct Plan {
    DesktopSession session;
    QString nullReason;
    std::shared_ptr<X11ConnectionProvider> connections;
    EvdevKeyboardFinder::Result keyboards;
    std::optional<QString> typingProblem;
    // Our own compositor connection (Wayland family), or why there is none.
    std::shared_ptr<WaylandConnection> wayland;
    QString waylandProblem;

    bool offers(const wl_interface& interface) const { return wayland && wayland->global(interface); }
    // What VirtualKeyboardKeySynthesizer::create() needs.
    bool offersVirtualKeyboard() const {
        return offers(zwp_virtual_keyboard_manager_v1_interface) && wayland->seat();
    }
};

Plan makePlan(const QString& qtPlatform) {
    Plan plan;
    plan.session = DesktopSession::detect(DesktopSession::Environment::fromProcess());
    if (plan.session.family == DesktopSession::Family::none) {
        plan.nullReason = plan.session.reason;
        return plan;
    }
    // The clipboard and the screens come through Qt.
    if (qtPlatform.isEmpty()) {
        plan.nullReason = QStringLiteral("Orlavo runs without its graphical interface");
        return plan;
    }
    if (plan.session.family == DesktopSession::Family::wayland) {
        plan.keyboards =
            EvdevKeyboardFinder::find(inputDirectory, KernelDeviceAccess(), UinputKeySynthesizer::deviceName);
        plan.typingProblem = UinputKeySynthesizer::problem(uinputPath);
        Result<std::unique_ptr<WaylandConnection>> connected = WaylandConnection::connect({}, waylandTimeout);
        if (connected) {
            plan.wayland = std::move(connected).value();
        } else {
            plan.waylandProblem = connected.error().description;
        }
        return plan;
    }
    // X11: the interface must run on the same display.
    if (qtPlatform != QLatin1String("xcb")) {
        plan.nullReason = X11PermissionProbe::unsupportedReason(
            QStringLiteral("its interface runs on the \"%1\" platform").arg(qtPlatform));
        return plan;
    }
    plan.connections = std::make_shared<X11ConnectionProvider>();
    if (const std::optional<QString> problem = X11PermissionProbe::keyboardProblem(*plan.connections)) {
        plan.nullReason = X11PermissionProbe::unsupportedReason(*problem);
    }
    return plan;
}

std::vector<PortPath> nullPaths(const QString& reason) {
    const QString none = QStringLiteral("none");
    const QString why = QStringLiteral("no desktop platform");
    return {{QStringLiteral("platform"), QStringLiteral("null"), reason},
            {QStringLiteral("key events"), none, why},
            {QStringLiteral("key output"), none, why},
            {QStringLiteral("clipboard"), QStringLiteral("in memory"), why},
            {QStringLiteral("selected text"), none, why},
            {QStringLiteral("front app"), none, why},
            {QStringLiteral("microphone"), none, why},
            {QStringLiteral("sounds"), none, why},
            {QStringLiteral("overlay"), none, why}};
}

std::vector<PortPath> x11Paths(const Plan& plan) {
    const bool compositing = X11Compositor::isActive(*plan.connections);
    return {
        {QStringLiteral("platform"), QStringLiteral("x11"), plan.session.reason},
        {QStringLiteral("key events"), QStringLiteral("XInput 2"),
         QStringLiteral("raw events of every window, listen only; Right Ctrl serves as fn")},
        {QStringLiteral("key output"), QStringLiteral("XTest"), QStringLiteral("the X server offers it")},
        {QStringLiteral("clipboard"), QStringLiteral("Qt"), QStringLiteral("the CLIPBOARD selection")},
        {QStringLiteral("selected text"), QStringLiteral("X11"), QStringLiteral("the focused window")},
        {QStringLiteral("front app"), QStringLiteral("EWMH"), QStringLiteral("the active window's class")},
        {QStringLiteral("microphone"), QStringLiteral("PulseAudio"), QStringLiteral("the default source")},
        {QStringLiteral("sounds"), QStringLiteral("libcanberra"),
         QStringLiteral("the desktop's sound theme")},
        {QStringLiteral("overlay"), QStringLiteral("window"),
         compositing ? QStringLiteral("translucent: a compositor runs")
                     : QStringLiteral("an opaque pill: no compositor runs")}};
}

// Key output, best first. The virtual-keyboard protocol needs no permission and carries the active
// layout, so keys type the same symbols as the user's keyboard; uinput needs write access to
// /dev/uinput and types by position, and its keyboard appears only after udev has seen it. A
// desktop portal (RemoteDesktop), where one runs, goes before both: it asks the user once and
// works on GNOME and KDE, which offer neither protocol.
PortPath keyOutputPath(const Plan& plan) {
    if (plan.offersVirtualKeyboard()) {
        return {QStringLiteral("key output"), QStringLiteral("virtual keyboard"),
                QStringLiteral("the compositor offers one: keys go through the active layout")};
    }
    if (!plan.typingProblem) {
        return {QStringLiteral("key output"), QStringLiteral("uinput"),
                QStringLiteral("%1 can be written: a virtual keyboard types the paste").arg(uinputPath)};
    }
    return {QStringLiteral("key output"), QStringLiteral("none"),
            *plan.typingProblem + QStringLiteral(": the text is put on the clipboard, not pasted")};
}

PortPath clipboardPath(const Plan& plan, const QString& qtPlatform) {
    if (plan.offers(zwlr_data_control_manager_v1_interface) && plan.wayland->seat()) {
        return {QStringLiteral("clipboard"), QStringLiteral("data control"),
                QStringLiteral("read and written whichever window has the focus, every format kept")};
    }
    if (qtPlatform == QLatin1String("xcb")) {
        return {QStringLiteral("clipboard"), QStringLiteral("Qt"),
                QStringLiteral("through XWayland, which shares it with Wayland windows")};
    }
    return {QStringLiteral("clipboard"), QStringLiteral("Qt"),
            QStringLiteral("on \"%1\" without the data-control protocol: Wayland lets a client set it only "
                           "while it has the focus")
                .arg(qtPlatform)};
}

std::vector<PortPath> waylandPaths(const Plan& plan, const QString& qtPlatform) {
    const QString none = QStringLiteral("none");
    const QString problem = plan.keyboards.problem();
    return {
        {QStringLiteral("platform"), QStringLiteral("wayland"), plan.session.reason},
        problem.isEmpty() ? PortPath{QStringLiteral("key events"), QStringLiteral("evdev"),
                                     QStringLiteral("reading %1; fn and Right Ctrl serve as fn")
                                         .arg(plan.keyboards.summary())}
                          : PortPath{QStringLiteral("key events"), none, problem},
        keyOutputPath(plan),
        clipboardPath(plan, qtPlatform),
        {QStringLiteral("selected text"), none,
         QStringLiteral("Wayland shows no client another application's selection")},
        plan.offers(zwlr_foreign_toplevel_manager_v1_interface)
            ? PortPath{QStringLiteral("front app"), QStringLiteral("foreign toplevel"),
                       QStringLiteral("the compositor's task list names the activated window")}
            : PortPath{QStringLiteral("front app"), none,
                       QStringLiteral("the compositor tells no client which window has the focus: "
                                      "every application counts as \"other\"")},
        {QStringLiteral("microphone"), QStringLiteral("PulseAudio"), QStringLiteral("the default source")},
        {QStringLiteral("sounds"), QStringLiteral("libcanberra"),
         QStringLiteral("the desktop's sound theme")},
        {QStringLiteral("overlay"), none,
         QStringLiteral("a window of ours could take the focus from where the text goes; the tray icon "
                        "shows the state")}};
}

PlatformServices nullPlatform(const QString& reason) {
    PlatformServices services;
    services.name = QStringLiteral("null");
    services.reason = reason;
    services.paths = nullPaths(reason);
    services.keyEventSource = std::make_unique<NullKeyEventSource>();
    services.keySynthesizer = std::make_unique<NullKeySynthesizer>();
    services.pasteboard = std::make_unique<NullPasteboard>();
    services.selectedTextReader = std::make_unique<NullSelectedTextReader>();
    services.frontApplication = std::make_unique<NullFrontApplication>();
    services.audioInput = std::make_unique<NullAudioInput>();
    services.soundPlayer = std::make_unique<NullSoundPlayer>();
    services.screens = std::make_unique<NullScreens>();
    services.processLauncher = std::make_unique<NullProcessLauncher>();
    services.permissionProbe = std::make_unique<NullPermissionProbe>(reason);
    services.keyboardAccessProblem = [reason] { return std::optional<QString>(reason); };
    services.microphoneProblem = [reason] { return std::optional<QString>(reason); };
    return services;
}

PlatformServices x11Platform(const Clock& clock, const Plan& plan) {
    const std::shared_ptr<X11ConnectionProvider>& connections = plan.connections;
    auto ledger = std::make_shared<SyntheticKeyLedger>();
    PlatformServices services;
    services.name = QStringLiteral("x11");
    services.paths = x11Paths(plan);
    // X11 never reports the fn key: the key monitor takes Right Control for it.
    services.functionKeyName = QStringLiteral("Right Ctrl");
    services.isCompositing = [connections] { return X11Compositor::isActive(*connections); };
    services.windowKeyTranslator = [] { return std::make_unique<XkbWindowKeyTranslator>(); };
    services.keyEventSource = std::make_unique<X11KeyEventSource>(clock, ledger);
    services.keySynthesizer = std::make_unique<XTestKeySynthesizer>(connections, ledger, clock);
    services.pasteboard =
        std::make_unique<QtClipboardPasteboard>(std::make_unique<X11ClipboardReader>(connections));
    // PRIMARY stays owned after the highlight is gone, so only the focused field itself can say
    // whether text is selected now.
    services.selectedTextReader = std::make_unique<AtspiSelectedTextReader>(
        [connections] { return X11Properties::activeProcess(*connections); });
    services.frontApplication =
        std::make_unique<X11FrontApplication>(connections, DesktopEntryIndex::applicationDirectories());
    auto audioInput = std::make_unique<PulseAudioInput>();
    services.permissionProbe = std::make_unique<X11PermissionProbe>(connections, *audioInput);
    services.audioInput = std::move(audioInput);
    services.soundPlayer = std::make_unique<CanberraSoundPlayer>();
    services.screens = std::make_unique<QtScreens>();
    services.processLauncher = std::make_unique<QtProcessLauncher>();
    services.keyboardAccessProblem = [] { return X11KeyboardAccessCheck::problem(); };
    // A client of its own: the recording input's connection belongs to the main thread.
    services.microphoneProblem = [] { return PulseAudioInput().unavailableReason(); };
    return services;
}

PlatformServices waylandPlatform(const Clock& clock, Plan& plan, const QString& qtPlatform) {
    PlatformServices services;
    services.waylandConnection = plan.wayland;
    // In the order keyOutputPath() describes. A desktop portal's keyboard (RemoteDesktop), where
    // one runs, is tried first, here.
    if (plan.offersVirtualKeyboard()) {
        services.keySynthesizer = VirtualKeyboardKeySynthesizer::create(*plan.wayland);
        // uinput is not needed then, whether or not it could be written.
        plan.typingProblem.reset();
    }
    // Made now, not at the first paste: the compositor takes a moment to add a new keyboard, and
    // keys typed on it before then are lost.
    if (!services.keySynthesizer && !plan.typingProblem) {
        Result<std::unique_ptr<UinputKeySynthesizer>> made = UinputKeySynthesizer::create(uinputPath);
        if (made) {
            services.keySynthesizer = std::move(made).value();
        } else {
            plan.typingProblem = made.error().description;
        }
    }
    if (!services.keySynthesizer) {
        services.keySynthesizer = std::make_unique<NullKeySynthesizer>(
            plan.typingProblem.value_or(QStringLiteral("no way to type keys was found")));
    }
    services.name = QStringLiteral("wayland");
    services.paths = waylandPaths(plan, qtPlatform);
    // Right Control stands in for fn as on X11; a keyboard that reports its fn key is heard too.
    services.functionKeyName = QStringLiteral("Right Ctrl");
    services.showsOverlay = false;

    const QString keyboardProblem = plan.keyboards.problem();
    if (keyboardProblem.isEmpty()) {
        services.keyEventSource = std::make_unique<EvdevKeyEventSource>(
            clock, std::make_shared<KernelDeviceAccess>(), inputDirectory, UinputKeySynthesizer::deviceName);
    } else {
        services.keyEventSource = std::make_unique<NullKeyEventSource>();
    }
    std::unique_ptr<WaylandDataControl> dataControl =
        plan.wayland ? WaylandDataControl::create(*plan.wayland) : nullptr;
    if (dataControl) {
        services.pasteboard = std::make_unique<DataControlPasteboard>(std::move(dataControl));
    } else {
        // Without data control (GNOME, KDE) only a focused window may set the clipboard: the
        // text is then best typed through the desktop portal's keyboard instead of pasted.
        services.pasteboard = std::make_unique<QtClipboardPasteboard>(nullptr);
    }
    services.selectedTextReader = std::make_unique<NullSelectedTextReader>();
    std::unique_ptr<ForeignToplevelFrontApplication> frontApplication =
        plan.wayland ? ForeignToplevelFrontApplication::create(*plan.wayland,
                                                               DesktopEntryIndex::applicationDirectories())
                     : nullptr;
    if (frontApplication) {
        services.frontApplication = std::move(frontApplication);
    } else {
        services.frontApplication = std::make_unique<NullFrontApplication>();
    }
    auto audioInput = std::make_unique<PulseAudioInput>();
    services.permissionProbe = std::make_unique<WaylandPermissionProbe>(
        keyboardProblem.isEmpty() ? std::nullopt : std::optional<QString>(keyboardProblem),
        plan.typingProblem, *audioInput);
    services.audioInput = std::move(audioInput);
    services.soundPlayer = std::make_unique<CanberraSoundPlayer>();
    services.screens = std::make_unique<QtScreens>();
    services.processLauncher = std::make_unique<QtProcessLauncher>();
    // What the setup wizard checks: the keyboards and the uinput device were looked at just now.
    std::optional<QString> keyboardAccess;
    if (!keyboardProblem.isEmpty()) {
        keyboardAccess = keyboardProblem;
    } else if (plan.typingProblem) {
        keyboardAccess = plan.typingProblem;
    }
    services.keyboardAccessProblem = [keyboardAccess] { return keyboardAccess; };
    services.microphoneProblem = [] { return PulseAudioInput().unavailableReason(); };
    return services;
}

QString runningQtPlatform() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::platformName()
                                                                        : QString();
}

} // namespace

PlatformServices create(const Clock& clock) {
    const QString qtPlatform = runningQtPlatform();
    Plan plan = makePlan(qtPlatform);
    if (!plan.nullReason.isEmpty()) {
        return nullPlatform(plan.nullReason);
    }
    if (plan.session.family == DesktopSession::Family::wayland) {
        return waylandPlatform(clock, plan, qtPlatform);
    }
    return x11Platform(clock, plan);
}

std::vector<PortPath> describe(const QString& qtPlatform) {
    const Plan plan = makePlan(qtPlatform);
    if (!plan.nullReason.isEmpty()) {
        return nullPaths(plan.nullReason);
    }
    if (plan.session.family == DesktopSession::Family::wayland) {
        return waylandPaths(plan, qtPlatform);
    }
    return x11Paths(plan);
}

} // namespace PlatformFactory
