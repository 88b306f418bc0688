#pragma once

#include "FakeAppContextService.h"
#include "FakeAudioCaptureService.h"
#include "FakeBackendClient.h"
#include "FakeHotkeyMonitor.h"
#include "FakeNotesService.h"
#include "FakeOverlayController.h"
#include "FakePasteService.h"
#include "FakePermissionService.h"
#include "FakeProcessLauncher.h"
#include "FakeTextProcessingService.h"
#include "InMemoryKeyValueStore.h"
#include "RecordingSoundPlayer.h"
#include "ScriptedFrontApplication.h"
#include "ServiceCallLog.h"
#include "StubFileChooser.h"
#include "VirtualScheduler.h"
#include "core/dictation/PTTAppState.h"
#include "core/settings/KeychainService.h"
#include "core/settings/SettingsStore.h"
#include "core/storage/LocalDatabase.h"

#include <QTemporaryDir>

#include <memory>

// The dictation controller with every service faked, in virtual time, over a real SQLite file in
// a temporary folder. Arrange the fakes and the stored settings, then start() the controller.
class DictationRig final {
public:
    // What a test may put in place of the defaults: the store the settings and secrets live in
    // (else `defaults`), and the clock that stamps database rows (else the scheduler's).
    struct Parts {
        KeyValueStore* store = nullptr;
        const Clock* databaseClock = nullptr;
    };

    DictationRig();
    explicit DictationRig(Parts parts);
    ~DictationRig();
    DictationRig(const DictationRig&) = delete;
    DictationRig& operator=(const DictationRig&) = delete;

    PTTAppState& start();
    PTTAppState& controller() { return *m_controller; }
    // Destroys the controller, as quitting does, leaving the services.
    void quit() { m_controller.reset(); }

    // One signal from the monitor, then whatever falls due at once.
    void send(HotkeySignal signal);
    // A press held for `seconds` and released.
    void hold(double seconds = 1.5);

    QString databasePath() const { return m_directory.filePath(QStringLiteral("ptt.sqlite")); }

    ServiceCallLog log;
    VirtualScheduler scheduler;
    InMemoryKeyValueStore defaults;
    SettingsStore settingsStore;
    KeychainService keychain;

private:
    QTemporaryDir m_directory = makeDirectory();

    static QTemporaryDir makeDirectory();

public:
    LocalDatabase database;
    FakeBackendClient backend{scheduler};
    FakeHotkeyMonitor monitor;
    FakeAudioCaptureService capture{scheduler};
    FakePasteService paste;
    FakePermissionService permissions;
    FakeOverlayController overlay;
    FakeAppContextService appContext;
    FakeTextProcessingService text;
    FakeNotesService notes;
    ScriptedFrontApplication frontApplication;
    RecordingSoundPlayer sounds;
    StubFileChooser fileChooser;
    FakeProcessLauncher processLauncher;
    std::optional<ProcessCommand> ejectRemapCommand;

private:
    std::unique_ptr<PTTAppState> m_controller;
};
