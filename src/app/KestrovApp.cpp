#include "app/KestrovApp.h"

#include "core/backend/BackendToken.h"
#include "core/common/StatusSink.h"
#include "core/dictation/PTTAppState.h"
#include "core/hotkey/HotkeyInstructions.h"
#include "core/paths/AppPaths.h"
#include "core/update/UpdateService.h"
#include "platform/PlatformFactory.h"
#include "ui/HotkeyRecorder.h"
#include "ui/LayerShellOverlay.h"
#include "ui/OverlayWindow.h"
#include "ui/SetupWizardWindow.h"
#include "ui/StatusMenuModel.h"
#include "ui/StatusPopover.h"
#include "ui/StatusTrayIcon.h"
#include "ui/ThemeIcons.h"
#include "ui/settings/FeatureSuggestion.h"
#include "ui/settings/SettingsWindow.h"

#include <QApplication>
#include <QDesktopServices>
#include <QPointer>
#include <QQmlContext>
#include <QQuickWindow>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Orlavo_UiPlugin)

namespace {

BackendClientOptions backendOptions(QNetworkAccessManager& network) {
    BackendClientOptions options;
    options.networkAccessManager = &network;
    return options;
}

void say(const QString& line) {
    StatusSink(StatusSink::Stream::output).write(line);
}

void complain(const QString& line) {
    StatusSink(StatusSink::Stream::error, "orlavo: ").write(line);
}

} // namespace

KestrovApp::KestrovApp(QObject* parent)
    : QObject(parent)
    , m_defaults(AppPaths::defaultsFile())
    , m_platform(PlatformFactory::create(m_scheduler.clock(), &m_defaults))
    , m_database(m_scheduler.clock())
    , m_backend([this] { return m_settingsStore.load(); },
                [this] { return BackendToken::fromCredentials(m_keychain); }, backendOptions(m_network))
    , m_overlay(*m_platform.screens, *m_platform.soundPlayer, m_scheduler)
    , m_hotkeyMonitor(m_settingsStore.load().hotkey, *m_platform.keyEventSource, *m_platform.keySynthesizer,
                      m_scheduler)
    , m_audioCapture(*m_platform.audioInput, m_scheduler)
    , m_permissions(*m_platform.permissionProbe)
    , m_paste(*m_platform.pasteboard, *m_platform.keySynthesizer, *m_platform.selectedTextReader,
              *m_platform.frontApplication, m_scheduler)
    , m_textProcessing(m_database, m_appContext)
    , m_notes(m_scheduler.clock())
    , m_autostart(AutostartEntry::defaultFilePath(), QCoreApplication::applicationFilePath()) {
    QApplication::setQuitOnLastWindowClosed(false);
    m_paste.setTypesText(m_platform.typesText);
    // Small windows that change a little at a time: the software renderer redraws only what
    // changed, and loading no GPU driver keeps the start-up short and the memory small.
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND") && qEnvironmentVariableIsEmpty("QSG_RHI_BACKEND")) {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }
    if (!m_platform.reason.isEmpty()) {
        complain(QStringLiteral("dictation is not available here: ") + m_platform.reason);
    } else if (const std::optional<QString> why = m_platform.permissionProbe->unsupportedDesktopReason()) {
        complain(*why);
    }

    m_controller = std::make_unique<PTTAppState>(PTTAppStateDependencies{
        .settingsStore = m_settingsStore,
        .keychain = m_keychain,
        .database = m_database,
        .backend = m_backend,
        .hotkeyMonitor = m_hotkeyMonitor,
        .audioCapture = m_audioCapture,
        .paste = m_paste,
        .permissions = m_permissions,
        .overlay = m_overlay,
        .appContext = m_appContext,
        .textProcessing = m_textProcessing,
        .notes = m_notes,
        .scheduler = m_scheduler,
        .frontApplication = *m_platform.frontApplication,
        .sounds = *m_platform.soundPlayer,
        .fileChooser = &m_fileChooser,
        .processLauncher = m_platform.processLauncher.get(),
        .ejectRemapCommand = std::nullopt,
    });

    UpdateService::Options updateOptions = UpdateService::Options::forThisProcess();
    updateOptions.apiKey = [this] {
        return m_keychain.read(KeychainService::apiKeyAccount).value_or(QString());
    };
    m_updates = std::make_unique<UpdateService>(
        UpdateService::Ports{m_network, m_scheduler, *m_platform.processLauncher, m_extractor},
        std::move(updateOptions));
    // Queued: the service finishes its own step before the application goes.
    connect(m_updates.get(), &UpdateService::quitRequested, qApp, &QCoreApplication::quit,
            Qt::QueuedConnection);
    // Whatever ends the run (the menu, an update's relaunch, a signal), the user's clipboard is
    // put back first.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { m_paste.restoreNow(); });
    // Owned by the application for the whole run, not by any window. A build without an update
    // host has nothing to check.
    if (m_updates->isConfigured()) {
        m_updates->startPeriodicChecks();
    }

    m_serviceStarter = std::make_unique<LocalServiceStarter>(
        m_backend, *m_platform.processLauncher, m_scheduler,
        [this] { return m_controller->settings().backendBaseURL; },
        LocalServiceStarter::Options::forThisProcess());
    startLocalService();

    m_engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    m_engine.rootContext()->setContextProperty(QStringLiteral("autostart"), &m_autostart);
    m_engine.addImageProvider(IconImageProvider::providerId, new IconImageProvider);
    if (m_platform.overlaySurface) {
        m_layerShellOverlay =
            std::make_unique<LayerShellOverlay>(m_overlay, m_engine, m_platform.overlaySurface());
    } else if (m_platform.showsOverlay) {
        m_overlayWindow = std::make_unique<OverlayWindow>(m_overlay, m_engine, m_platform.isCompositing);
    }

    m_statusMenu = std::make_unique<StatusMenuModel>(*m_controller, m_database, m_audioCapture,
                                                     m_updates.get(), m_platform.functionKeyName);
    m_statusMenu->setHotkeyProblemSource(m_platform.hotkeyProblem);
    m_popover = std::make_unique<StatusPopover>(*m_statusMenu, m_engine, m_scheduler.clock());
    m_trayIcon = std::make_unique<StatusTrayIcon>(*m_statusMenu);
    connect(m_trayIcon.get(), &StatusTrayIcon::popoverRequested, this,
            [this](const QRect& anchor) { m_popover->toggle(anchor); });
    connect(m_statusMenu.get(), &StatusMenuModel::settingsRequested, this, &KestrovApp::openSettings);
    connect(m_statusMenu.get(), &StatusMenuModel::quitRequested, qApp, &QCoreApplication::quit,
            Qt::QueuedConnection);

    // Every shortcut recorder reads keys the way the session's key source does.
    HotkeyRecorder::setKeyboard(m_platform.windowKeyTranslator, m_platform.functionKeyName);
    m_settingsWindow = std::make_unique<SettingsWindow>(
        m_engine,
        SettingsWindow::Services{
            .account = {.controller = *m_controller,
                        .keychain = m_keychain,
                        .backend = m_backend,
                        .scheduler = m_scheduler,
                        .updates = m_updates.get(),
                        .openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); }},
            .notes = m_notes,
            .database = m_database},
        AccountPanel::Links{QStringLiteral(ORLAVO_FEEDBACK_ADDRESS), QUrl(QStringLiteral(ORLAVO_SUPPORT_URL)),
                            QUrl(QStringLiteral(ORLAVO_PRIVACY_URL))},
        AccountPanel::About{QCoreApplication::applicationVersion(), QStringLiteral(ORLAVO_BUILD_ID),
                            FeatureSuggestion::systemName()});

    connect(m_controller.get(), &PTTAppState::setupWizardOpenRequested, this, &KestrovApp::showSetupWindow);
    connect(m_controller.get(), &PTTAppState::setupWizardRaiseRequested, this, &KestrovApp::showSetupWindow);
    connect(m_controller.get(), &PTTAppState::setupWizardCloseRequested, this, [this] {
        if (m_setupWindow) {
            m_setupWindow->close();
        }
    });
    connect(m_controller.get(), &PTTAppState::isHotkeyMonitorRunningChanged, this,
            &KestrovApp::announceWhenOn);

    if (!m_trayIcon->show()) {
        complain(
            QStringLiteral("this desktop shows no tray icons; run `orlavo` again to open the status window"));
    }
}

KestrovApp::~KestrovApp() {
    // The starter first: a start still waiting must not come back to a half-destroyed shell.
    m_serviceStarter.reset();
    // The windows first, while the objects they show still exist.
    m_setupWindow.reset();
    m_closedSetupWindow.reset();
    m_settingsWindow.reset();
    m_trayIcon.reset();
    m_popover.reset();
    m_statusMenu.reset();
    m_overlayWindow.reset();
}

RemoteReply KestrovApp::handleRemoteCommand(const QStringList& arguments) {
    return RemoteCommands::run(
        arguments, *m_controller, m_audioCapture, [this] { openPopover(); }, [this] { openSettings(); });
}

QString KestrovApp::instructions() const {
    return QStringLiteral("Orlavo is on: ") +
           HotkeyInstructions::howToDictate(m_controller->settings().hotkey, m_statusMenu->hotkeyHint());
}

void KestrovApp::openPopover() {
    m_popover->open(m_trayIcon->isVisible() ? m_trayIcon->geometry() : QRect());
}

void KestrovApp::openSettings() {
    m_popover->close();
    m_settingsWindow->present();
}

void KestrovApp::showSetupWindow() {
    if (!m_setupWindow) {
        SetupProbes probes{m_platform.keyboardAccessProblem, m_platform.microphoneProblem,
                           // The null platform stays for the whole run: checking again cannot help.
                           m_platform.name != QLatin1String("null")};
        m_setupWindow = std::make_unique<SetupWizardWindow>(
            m_engine, SetupWizardModel::Ports{*m_controller, m_audioCapture, *m_serviceStarter, m_scheduler,
                                              std::move(probes), m_platform.functionKeyName});
        connect(m_setupWindow.get(), &SetupWizardWindow::closed, this, &KestrovApp::forgetSetupWindow);
        // Said now, while the wizard waits: the terminal that started Orlavo learns the key.
        m_announced = true;
        say(instructions());
    }
    m_setupWindow->present();
}

void KestrovApp::forgetSetupWindow() {
    m_controller->setupWizardClosed();
    // Closing may come from inside the window's own handlers (Continue on the last step): it goes
    // once they have returned.
    if (m_setupWindow) {
        m_closedSetupWindow = std::move(m_setupWindow);
        QTimer::singleShot(0, this, [this] { m_closedSetupWindow.reset(); });
    }
}

void KestrovApp::announceWhenOn() {
    if (m_controller->isHotkeyMonitorRunning() && !m_announced) {
        m_announced = true;
        say(instructions());
    }
}

QCoro::Task<> KestrovApp::startLocalService() {
    const QPointer<KestrovApp> self(this);
    const Result<void> started = co_await m_serviceStarter->ensureRunning();
    if (!self) {
        co_return;
    }
    if (started) {
        // The controller checked once at start-up, possibly before the service answered.
        co_await m_controller->checkServerHealth();
        co_return;
    }
    say(started.error().description);
    m_controller->reportProblem(started.error().description);
}
