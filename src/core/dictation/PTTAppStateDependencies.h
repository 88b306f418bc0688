#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class FileChooser;
class FrontApplication;
class IAppContextService;
class IAudioCaptureService;
class IBackendClient;
class IHotkeyMonitor;
class INotesService;
class IOverlayController;
class IPasteService;
class IPermissionService;
class ITextProcessingService;
class KeychainService;
class LocalDatabase;
class ProcessLauncher;
class Scheduler;
class SettingsStore;
class SoundPlayer;

// A program and its arguments.
struct ProcessCommand {
    QString program;
    QStringList arguments;
};

// Everything the dictation controller works with. Whoever composes the application owns these
// and keeps them alive longer than the controller.
struct PTTAppStateDependencies {
    SettingsStore& settingsStore;
    KeychainService& keychain;
    LocalDatabase& database;
    IBackendClient& backend;
    IHotkeyMonitor& hotkeyMonitor;
    IAudioCaptureService& audioCapture;
    IPasteService& paste;
    IPermissionService& permissions;
    IOverlayController& overlay;
    IAppContextService& appContext;
    ITextProcessingService& textProcessing;
    INotesService& notes;
    Scheduler& scheduler;
    FrontApplication& frontApplication;
    SoundPlayer& sounds;
    // Without a chooser the notes destination cannot be changed; without a launcher nothing is
    // run.
    FileChooser* fileChooser = nullptr;
    ProcessLauncher* processLauncher = nullptr;
    // What turns the Eject key into F14 where the platform needs it; none on Linux, where the
    // keyboard reports F14 (107) as it is.
    std::optional<ProcessCommand> ejectRemapCommand;
};
