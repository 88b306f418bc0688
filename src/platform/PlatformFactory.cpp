#include "platform/PlatformFactory.h"

#include "core/ports/KeyValueStore.h"
#include "platform/common/QtProcessLauncher.h"
#include "platform/linux/atspi/AtspiSelectedTextReader.h"
#include "platform/linux/desktop/DesktopEntryIndex.h"
#include "platform/linux/evdev/EvdevKeyEventSource.h"
#include "platform/linux/evdev/EvdevKeyboardFinder.h"
#include "platform/linux/evdev/KernelDeviceAccess.h"
#include "platform/linux/input/SyntheticKeyLedger.h"
#include "platform/linux/input/XkbWindowKeyTranslator.h"
#include "platform/linux/portal/GlobalShortcutsKeySource.h"
#include "platform/linux/portal/PortalClient.h"
#include "platform/linux/portal/RemoteDesktopKeySynthesizer.h"
#include "platform/linux/pulse/PulseAudioInput.h"
#include "platform/linux/qt/QtClipboardPasteboard.h"
#include "platform/linux/qt/QtScreens.h"
#include "platform/linux/session/DesktopSession.h"
#include "platform/linux/sound/CanberraSoundPlayer.h"
#include "platform/linux/uinput/UinputKeySynthesizer.h"
#include "platform/linux/wayland/DataControlPasteboard.h"
#include "platform/linux/wayland/ForeignToplevelFrontApplication.h"
#include "platform/linux/wayland/LayerShellProtocol.h"
#include "platform/linux/wayland/LayerShellSurface.h"
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

#include <QDBusConnection>
#include <QGuiApplication>

namespace PlatformFactory {

namespace {

const QString inputDirectory = QStringLiteral("/dev/input");
const QString uinputPath = QStringLiteral("/dev/uinput");
const QString restoreTokenKey = QStringLiteral("portal.remoteDesktop.restoreToken.v1");
// How long the one-time question "which portals are there" may take: the portal service may be
// started by the bus for it.
constexpr int portalProbeTimeoutMs = 1500;
// The start-up handshake with the compositor: globals, seat, keymap. A compositor that does not
// answer in this time is taken for absent.
constexpr std::chrono::milliseconds waylandTimeout{2000};

// The hotkey on Wayland, best first. The desktop's shortcut needs no device access and lets the
// user pick the key in the desktop's own settings; the keyboards' devices need the `input` group.
enum class HotkeyPath { portal, evdev, none };
// Key output on Wayland, best first. The virtual-keyboard protocol (wlroots) needs no permission
// and carries the active layout, so keys type what the user's keyboard would. The RemoteDesktop
// portal (GNOME, KDE) types keysyms, so the layout does not matter either, but asks the user once
// (the restore token keeps the answer). uinput needs write access to /dev/uinput, types key
// positions that the layout interprets, and its keyboard appears only after udev has seen it.
enum class KeyOutputPath { virtualKeyboard, remoteDesktop, uinput, none };

// What the checks found; `nullReason` set means the null platform.
struct Plan {
    DesktopSession session;
    QString nullReason;
    std::shared_ptr<X11ConnectionProvider> connections;
    EvdevKeyboardFinder::Result keyboards;
    std::optional<QString> typingProblem;
    HotkeyPath hotkey = HotkeyPath::none;
    KeyOutputPath keyOutput = KeyOutputPath::none;
    // Our own compositor connection (Wayland family), or why there is none.
    std::shared_ptr<WaylandConnection> wayland;
    QString waylandProblem;

    bool offers(const wl_interface& interface) const { return wayland && wayland->global(interface); }
    // What VirtualKeyboardKeySynthesizer::create() needs.
    bool offersVirtualKeyboard() const {
        return offers(zwp_virtual_keyboard_manager_v1_interface) && wayland->seat();
    }
    bool offersDataControl() const {
        return offers(zwlr_data_control_manager_v1_interface) && wayland->seat();
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
        Result<std::unique_ptr<WaylandConnection>> connected = WaylandConnection::connect({}, waylandTimeout);
        if (connected) {
            plan.wayland = std::move(connected).value();
        } else {
            plan.waylandProblem = connected.error().description;
        }
        const QDBusConnection bus = QDBusConnection::sessionBus();
        plan.keyboards =
            EvdevKeyboardFinder::find(inputDirectory, KernelDeviceAccess(), UinputKeySynthesizer::deviceName);
        if (PortalClient::interfaceVersion(bus, GlobalShortcutsKeySource::interface, portalProbeTimeoutMs) >
            0) {
            plan.hotkey = HotkeyPath::portal;
        } else if (plan.keyboards.problem().isEmpty()) {
            plan.hotkey = HotkeyPath::evdev;
        }
        if (plan.offersVirtualKeyboard()) {
            plan.keyOutput = KeyOutputPath::virtualKeyboard;
        } else if (PortalClient::interfaceVersion(bus, RemoteDesktopKeySynthesizer::interface,
                                                  portalProbeTimeoutMs) > 0) {
            plan.keyOutput = KeyOutputPath::remoteDesktop;
        } else {
            plan.typingProblem = UinputKeySynthesizer::problem(uinputPath);
            plan.keyOutput = plan.typingProblem ? KeyOutputPath::none : KeyOutputPath::uinput;
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
            {QStringLiteral("hotkey"), none, why},
            {QStringLiteral("key output"), none, why},
            {QStringLiteral("clipboard"), QStringLiteral("in memory"), why},
            {QStringLiteral("selected text"), none, why},
            {QStringLiteral("front application"), none, why},
            {QStringLiteral("microphone"), none, why},
            {QStringLiteral("sounds"), none, why},
            {QStringLiteral("overlay"), none, why}};
}

std::vector<PortPath> x11Paths(const Plan& plan) {
    const bool compositing = X11Compositor::isActive(*plan.connections);
    return {
        {QStringLiteral("platform"), QStringLiteral("x11"), plan.session.reason},
        {QStringLiteral("hotkey"), QStringLiteral("XInput 2"),
         QStringLiteral("raw events of every window, listen only; Right Ctrl serves as fn")},
        {QStringLiteral("key output"), QStringLiteral("XTest"), QStringLiteral("the X server offers it")},
        {QStringLiteral("clipboard"), QStringLiteral("Qt"), QStringLiteral("the CLIPBOARD selection")},
        {QStringLiteral("selected text"), QStringLiteral("X11"), QStringLiteral("the focused window")},
        {QStringLiteral("front application"), QStringLiteral("EWMH"),
         QStringLiteral("the active window's class")},
        {QStringLiteral("microphone"), QStringLiteral("PulseAudio"), QStringLiteral("the default source")},
        {QStringLiteral("sounds"), QStringLiteral("libcanberra"),
         QStringLiteral("the desktop's sound theme")},
        {QStringLiteral("overlay"), QStringLiteral("window"),
         compositing ? QStringLiteral("translucent: a compositor runs")
                     : QStringLiteral("an opaque pill: no compositor runs")}};
}

PortPath waylandHotkeyPath(const Plan& plan) {
    const QString port = QStringLiteral("hotkey");
    switch (plan.hotkey) {
    case HotkeyPath::portal:
        return {port, QStringLiteral("desktop portal GlobalShortcuts"),
                QStringLiteral("offered by the session; the desktop confirms the key once")};
    case HotkeyPath::evdev:
        return {port, QStringLiteral("evdev"),
                QStringLiteral("no shortcut portal; reading %1; fn and Right Ctrl serve as fn")
                    .arg(plan.keyboards.summary())};
    case HotkeyPath::none:
        break;
    }
    return {port, QStringLiteral("none"),
            QStringLiteral("no shortcut portal, and %1").arg(plan.keyboards.problem())};
}

PortPath waylandKeyOutputPath(const Plan& plan) {
    const QString port = QStringLiteral("key output");
    switch (plan.keyOutput) {
    case KeyOutputPath::virtualKeyboard:
        return {port, QStringLiteral("virtual keyboard"),
                QStringLiteral("the compositor offers one: keys go through the active layout")};
    case KeyOutputPath::remoteDesktop:
        return {port, QStringLiteral("desktop portal RemoteDesktop"),
                QStringLiteral("offered by the session; asked once, the permission is kept; keysyms, so any "
                               "layout types right")};
    case KeyOutputPath::uinput:
        return {port, QStringLiteral("uinput"),
                QStringLiteral("no virtual-keyboard protocol or remote-desktop portal; %1 can be written: a "
                               "virtual keyboard of our own types the paste")
                    .arg(uinputPath)};
    case KeyOutputPath::none:
        break;
    }
    return {port, QStringLiteral("none"),
            QStringLiteral(
                "no virtual-keyboard protocol or remote-desktop portal, and %1: the text is put on the "
                "clipboard, not pasted")
                .arg(plan.typingProblem.value_or(QStringLiteral("no virtual keyboard")))};
}

// Where the clipboard cannot reach the focused window (Qt on Wayland sets it only while one of
// our windows has the focus) but the portal's keyboard can type any character, the text is typed.
bool typesText(const Plan& plan, const QString& qtPlatform) {
    return !plan.offersDataControl() && qtPlatform != QLatin1String("xcb") &&
           plan.keyOutput == KeyOutputPath::remoteDesktop;
}

PortPath waylandClipboardPath(const Plan& plan, const QString& qtPlatform) {
    const QString port = QStringLiteral("clipboard");
    if (plan.offersDataControl()) {
        return {port, QStringLiteral("data control"),
                QStringLiteral("read and written whichever window has the focus, every format kept")};
    }
    if (qtPlatform == QLatin1String("xcb")) {
        return {port, QStringLiteral("Qt"),
                QStringLiteral("through XWayland, which shares it with Wayland windows")};
    }
    if (typesText(plan, qtPlatform)) {
        return {
            port, QStringLiteral("not used"),
            QStringLiteral("no clipboard protocol reaches the focused window, so the text is typed through "
                           "the portal's keyboard and the clipboard stays as it was")};
    }
    return {port, QStringLiteral("Qt"),
            QStringLiteral("on \"%1\": Wayland lets a client set it only while it has the focus")
                .arg(qtPlatform)};
}

std::vector<PortPath> waylandPaths(const Plan& plan, const QString& qtPlatform) {
    const QString none = QStringLiteral("none");
    return {
        {QStringLiteral("platform"), QStringLiteral("wayland"), plan.session.reason},
        waylandHotkeyPath(plan),
        waylandKeyOutputPath(plan),
        waylandClipboardPath(plan, qtPlatform),
        {QStringLiteral("selected text"), none,
         QStringLiteral("Wayland shows no client another application's selection")},
        plan.offers(zwlr_foreign_toplevel_manager_v1_interface)
            ? PortPath{QStringLiteral("front application"), QStringLiteral("foreign toplevel"),
                       QStringLiteral("the compositor's task list names the activated window")}
            : PortPath{QStringLiteral("front application"), none,
                       QStringLiteral("the compositor tells no client which window has the focus: every "
                                      "application counts as \"other\"")},
        {QStringLiteral("microphone"), QStringLiteral("PulseAudio"), QStringLiteral("the default source")},
        {QStringLiteral("sounds"), QStringLiteral("libcanberra"),
         QStringLiteral("the desktop's sound theme")},
        plan.offers(zwlr_layer_shell_v1_interface)
            ? PortPath{QStringLiteral("overlay"), QStringLiteral("layer shell"),
                       QStringLiteral("a surface on the top layer: no keyboard, clicks pass through")}
            : PortPath{QStringLiteral("overlay"), none,
                       QStringLiteral("the compositor offers no layer shell, and a window of ours could take "
                                      "the focus from where the text goes; the tray icon shows the state")}};
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
    services.hotkeyProblem = [reason] { return std::optional<QString>(reason); };
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

std::unique_ptr<KeySynthesizer> waylandKeyOutput(Plan& plan, const std::shared_ptr<PortalClient>& portal,
                                                 KeyValueStore* defaults,
                                                 std::function<std::optional<QString>()>& problem) {
    if (plan.keyOutput == KeyOutputPath::virtualKeyboard) {
        if (std::unique_ptr<KeySynthesizer> keyboard = VirtualKeyboardKeySynthesizer::create(*plan.wayland)) {
            problem = [] { return std::optional<QString>(); };
            return keyboard;
        }
        plan.typingProblem = QStringLiteral("the compositor's virtual keyboard could not be made");
        plan.keyOutput = KeyOutputPath::none;
    }
    if (plan.keyOutput == KeyOutputPath::remoteDesktop) {
        RemoteDesktopKeySynthesizer::TokenStore tokens;
        if (defaults) {
            tokens.load = [defaults] { return defaults->string(restoreTokenKey).value_or(QString()); };
            tokens.save = [defaults](const QString& token) { defaults->setString(restoreTokenKey, token); };
        }
        auto synthesizer = std::make_unique<RemoteDesktopKeySynthesizer>(portal, std::move(tokens));
        // Now, not at the first paste: the desktop's dialog belongs to start-up.
        synthesizer->startSession();
        problem = [typing = synthesizer.get()] { return typing->problem(); };
        return synthesizer;
    }
    // Made now, not at the first paste: the compositor takes a moment to add a new keyboard, and
    // keys typed on it before then are lost.
    if (plan.keyOutput == KeyOutputPath::uinput) {
        Result<std::unique_ptr<UinputKeySynthesizer>> made = UinputKeySynthesizer::create(uinputPath);
        if (made) {
            problem = [] { return std::optional<QString>(); };
            return std::move(made).value();
        }
        plan.typingProblem = made.error().description;
        plan.keyOutput = KeyOutputPath::none;
    }
    const QString why = plan.typingProblem.value_or(QStringLiteral("no virtual keyboard"));
    problem = [why] { return std::optional<QString>(why); };
    return std::make_unique<NullKeySynthesizer>(why);
}

std::unique_ptr<KeyEventSource> waylandHotkey(const Clock& clock, const Plan& plan,
                                              const std::shared_ptr<PortalClient>& portal,
                                              std::function<std::optional<QString>()>& problem) {
    switch (plan.hotkey) {
    case HotkeyPath::portal: {
        auto source = std::make_unique<GlobalShortcutsKeySource>(clock, portal);
        problem = [shortcuts = source.get()] { return shortcuts->problem(); };
        return source;
    }
    case HotkeyPath::evdev:
        problem = [] { return std::optional<QString>(); };
        return std::make_unique<EvdevKeyEventSource>(clock, std::make_shared<KernelDeviceAccess>(),
                                                     inputDirectory, UinputKeySynthesizer::deviceName);
    case HotkeyPath::none:
        break;
    }
    const QString why = QStringLiteral("no shortcut portal, and %1").arg(plan.keyboards.problem());
    problem = [why] { return std::optional<QString>(why); };
    return std::make_unique<NullKeyEventSource>();
}

PlatformServices waylandPlatform(const Clock& clock, Plan& plan, const QString& qtPlatform,
                                 KeyValueStore* defaults) {
    PlatformServices services;
    services.waylandConnection = plan.wayland;
    auto portal =
        std::make_shared<PortalClient>(QDBusConnection::sessionBus(), QGuiApplication::desktopFileName());
    std::function<std::optional<QString>()> typingProblem;
    std::function<std::optional<QString>()> hotkeyProblem;
    services.keySynthesizer = waylandKeyOutput(plan, portal, defaults, typingProblem);
    services.keyEventSource = waylandHotkey(clock, plan, portal, hotkeyProblem);
    services.typesText = typesText(plan, qtPlatform);
    services.name = QStringLiteral("wayland");
    services.paths = waylandPaths(plan, qtPlatform);
    // Right Control stands in for fn as on X11; a keyboard that reports its fn key is heard too.
    services.functionKeyName = QStringLiteral("Right Ctrl");
    services.showsOverlay = false;
    services.hotkeyProblem = hotkeyProblem;

    std::unique_ptr<WaylandDataControl> dataControl =
        plan.offersDataControl() ? WaylandDataControl::create(*plan.wayland) : nullptr;
    if (dataControl) {
        services.pasteboard = std::make_unique<DataControlPasteboard>(std::move(dataControl));
    } else {
        // Without data control (GNOME, KDE) only a focused window may set the clipboard: the
        // text is then typed through the desktop portal's keyboard where there is one.
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
    if (plan.offers(zwlr_layer_shell_v1_interface)) {
        services.overlaySurface = [connection = plan.wayland]() -> std::unique_ptr<OverlaySurface> {
            return LayerShellSurface::create(connection);
        };
    }
    auto audioInput = std::make_unique<PulseAudioInput>();
    services.permissionProbe =
        std::make_unique<WaylandPermissionProbe>(hotkeyProblem, typingProblem, *audioInput);
    services.audioInput = std::move(audioInput);
    services.soundPlayer = std::make_unique<CanberraSoundPlayer>();
    services.screens = std::make_unique<QtScreens>();
    services.processLauncher = std::make_unique<QtProcessLauncher>();
    // What the setup wizard checks: the hotkey first, since without it nothing starts. Each
    // reason ends in what to do, so it is shown as a sentence of its own.
    services.keyboardAccessProblem = [hotkeyProblem, typingProblem]() -> std::optional<QString> {
        std::optional<QString> problem = hotkeyProblem();
        if (!problem) {
            problem = typingProblem();
        }
        if (!problem || problem->isEmpty()) {
            return problem;
        }
        QString sentence = *problem;
        sentence[0] = sentence[0].toUpper();
        return sentence.endsWith(QLatin1Char('.')) ? sentence : sentence + QLatin1Char('.');
    };
    services.microphoneProblem = [] { return PulseAudioInput().unavailableReason(); };
    return services;
}

QString runningQtPlatform() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::platformName()
                                                                        : QString();
}

} // namespace

PlatformServices create(const Clock& clock, KeyValueStore* defaults) {
    const QString qtPlatform = runningQtPlatform();
    Plan plan = makePlan(qtPlatform);
    if (!plan.nullReason.isEmpty()) {
        return nullPlatform(plan.nullReason);
    }
    if (plan.session.family == DesktopSession::Family::wayland) {
        return waylandPlatform(clock, plan, qtPlatform, defaults);
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
