#include "PlatformFactory.h"

#include "desktop/DesktopEntryIndex.h"
#include "input/SyntheticKeyLedger.h"
#include "input/XkbWindowKeyTranslator.h"
#include "null/NullAudioInput.h"
#include "null/NullFrontApplication.h"
#include "null/NullKeyEventSource.h"
#include "null/NullKeySynthesizer.h"
#include "null/NullPasteboard.h"
#include "null/NullPermissionProbe.h"
#include "null/NullProcessLauncher.h"
#include "null/NullScreens.h"
#include "null/NullSelectedTextReader.h"
#include "null/NullSoundPlayer.h"
#include "platform/common/QtProcessLauncher.h"
#include "pulse/PulseAudioInput.h"
#include "qt/QtClipboardPasteboard.h"
#include "qt/QtScreens.h"
#include "sound/CanberraSoundPlayer.h"
#include "x11/X11Compositor.h"
#include "x11/X11ConnectionProvider.h"
#include "x11/X11FrontApplication.h"
#include "x11/X11KeyEventSource.h"
#include "x11/X11KeyboardAccessCheck.h"
#include "x11/X11PermissionProbe.h"
#include "x11/X11SelectedTextReader.h"
#include "x11/XTestKeySynthesizer.h"

#include <QGuiApplication>

namespace PlatformFactory {

namespace {

PlatformServices nullPlatform(const QString& reason) {
    PlatformServices services;
    services.name = QStringLiteral("null");
    services.reason = reason;
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

PlatformServices x11Platform(const Clock& clock, std::shared_ptr<X11ConnectionProvider> connections) {
    auto ledger = std::make_shared<SyntheticKeyLedger>();
    PlatformServices services;
    services.name = QStringLiteral("x11");
    // X11 never reports the fn key: the key monitor takes Right Control for it.
    services.functionKeyName = QStringLiteral("Right Ctrl");
    services.isCompositing = [connections] { return X11Compositor::isActive(*connections); };
    services.windowKeyTranslator = [] { return std::make_unique<XkbWindowKeyTranslator>(); };
    services.keyEventSource = std::make_unique<X11KeyEventSource>(clock, ledger);
    services.keySynthesizer = std::make_unique<XTestKeySynthesizer>(connections, ledger, clock);
    services.pasteboard = std::make_unique<QtClipboardPasteboard>();
    services.selectedTextReader = std::make_unique<X11SelectedTextReader>(connections);
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

} // namespace

PlatformServices create(const Clock& clock) {
    const QString requested = qEnvironmentVariable("ORLAVO_PLATFORM");
    if (requested == QLatin1String("null")) {
        return nullPlatform(QStringLiteral("ORLAVO_PLATFORM=null asks for no desktop platform"));
    }
    if (!requested.isEmpty() && requested != QLatin1String("x11")) {
        return nullPlatform(
            QStringLiteral("ORLAVO_PLATFORM=%1 is not a known platform (x11, null)").arg(requested));
    }
    // The clipboard and the screens come through Qt, so its GUI must run on the same display.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        return nullPlatform(QStringLiteral("Orlavo runs without its graphical interface"));
    }
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return nullPlatform(
            X11PermissionProbe::unsupportedReason(QStringLiteral("its interface runs on the \"%1\" platform")
                                                      .arg(QGuiApplication::platformName())));
    }
    auto connections = std::make_shared<X11ConnectionProvider>();
    if (const std::optional<QString> problem = X11PermissionProbe::keyboardProblem(*connections)) {
        return nullPlatform(X11PermissionProbe::unsupportedReason(*problem));
    }
    return x11Platform(clock, std::move(connections));
}

} // namespace PlatformFactory
