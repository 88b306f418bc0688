#pragma once

#include "app/RemoteCommands.h"
#include "core/audio/AudioCaptureService.h"
#include "core/backend/BackendClient.h"
#include "core/backend/LocalServiceStarter.h"
#include "core/context/AppContextService.h"
#include "core/hotkey/HotkeyMonitor.h"
#include "core/notes/NotesService.h"
#include "core/overlay/OverlayController.h"
#include "core/paste/PasteService.h"
#include "core/paste/PermissionService.h"
#include "core/paths/AutostartEntry.h"
#include "core/settings/JsonFileKeyValueStore.h"
#include "core/settings/KeychainService.h"
#include "core/settings/SettingsStore.h"
#include "core/storage/LocalDatabase.h"
#include "core/text/TextProcessingService.h"
#include "core/time/QtScheduler.h"
#include "platform/PlatformServices.h"
#include "platform/common/LibarchiveExtractor.h"
#include "ui/QtFileChooser.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QQmlEngine>

#include <memory>

class LayerShellOverlay;
class OverlayWindow;
class PTTAppState;
class SettingsWindow;
class SetupWizardWindow;
class StatusMenuModel;
class StatusPopover;
class StatusTrayIcon;
class UpdateService;

// The application: composes the platform, every service, the dictation controller and the update
// service once, and shows the tray icon, its pop-over, the overlay and the small windows. There is
// no main window; closing a window never quits. Needs a QApplication.
//
// Members are declared in the order they depend on each other and are destroyed in reverse.
class KestrovApp final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KestrovApp)

public:
    explicit KestrovApp(QObject* parent = nullptr);
    ~KestrovApp() override;

    // A command line handed over by another launch.
    RemoteReply handleRemoteCommand(const QStringList& arguments);

    PTTAppState& controller() { return *m_controller; }
    // The setup window while it is open; null otherwise.
    SetupWizardWindow* setupWindow() const { return m_setupWindow.get(); }
    OverlayController& overlay() { return m_overlay; }
    // None where the platform shows no overlay.
    OverlayWindow* overlayWindow() { return m_overlayWindow.get(); }
    StatusMenuModel& statusMenu() { return *m_statusMenu; }
    StatusPopover& popover() { return *m_popover; }
    StatusTrayIcon& trayIcon() { return *m_trayIcon; }
    UpdateService& updates() { return *m_updates; }
    // "Start Orlavo at login"; the views see it as the context property `autostart`.
    AutostartEntry& autostart() { return m_autostart; }
    const PlatformServices& platform() const { return m_platform; }
    QQmlEngine& engine() { return m_engine; }
    SettingsWindow& settingsWindow() { return *m_settingsWindow; }

    // The one line that tells the user what to press.
    QString instructions() const;

private:
    void openPopover();
    void openSettings();
    void showSetupWindow();
    void forgetSetupWindow();
    void announceWhenOn();
    // Starts the service of this machine when the backend is local and nothing answers.
    QCoro::Task<> startLocalService();

    QtScheduler m_scheduler;
    // Before the platform, which keeps a desktop portal's restore token in it.
    JsonFileKeyValueStore m_defaults;
    PlatformServices m_platform;
    SettingsStore m_settingsStore{m_defaults};
    KeychainService m_keychain{m_defaults};
    LocalDatabase m_database;
    QNetworkAccessManager m_network;
    BackendClient m_backend;
    OverlayController m_overlay;
    HotkeyMonitor m_hotkeyMonitor;
    AudioCaptureService m_audioCapture;
    PermissionService m_permissions;
    PasteService m_paste;
    AppContextService m_appContext;
    TextProcessingService m_textProcessing;
    NotesService m_notes;
    LibarchiveExtractor m_extractor;
    QtFileChooser m_fileChooser;
    std::unique_ptr<PTTAppState> m_controller;
    std::unique_ptr<UpdateService> m_updates;
    std::unique_ptr<LocalServiceStarter> m_serviceStarter;
    AutostartEntry m_autostart;

    QQmlEngine m_engine;
    std::unique_ptr<OverlayWindow> m_overlayWindow;
    std::unique_ptr<LayerShellOverlay> m_layerShellOverlay;
    std::unique_ptr<StatusMenuModel> m_statusMenu;
    std::unique_ptr<StatusPopover> m_popover;
    std::unique_ptr<StatusTrayIcon> m_trayIcon;
    std::unique_ptr<SettingsWindow> m_settingsWindow;
    std::unique_ptr<SetupWizardWindow> m_setupWindow;
    // A setup window that has just closed, kept until its own handlers have returned.
    std::unique_ptr<SetupWizardWindow> m_closedSetupWindow;
    bool m_announced = false;
};
