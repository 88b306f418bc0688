#include "DictationRig.h"
#include "TemporaryEnvironment.h"
#include "files/FileBookmark.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include <sqlite3.h>

namespace {

void storeHotkey(DictationRig& rig, qint64 keyCode) {
    PTTSettings settings = rig.settingsStore.load();
    settings.hotkey.keyCode = keyCode;
    rig.settingsStore.save(settings);
}

void runSql(const QString& path, const char* sql) {
    sqlite3* connection = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &connection), SQLITE_OK);
    QCOMPARE(sqlite3_exec(connection, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(connection);
}

} // namespace

class tst_PTTAppStateHousekeeping : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { qunsetenv("PTT_SKIP_WIZARD"); }
    void startup_data();
    void startup();
    void databaseThatCannotOpen();
    void snippetsAndDictionary();
    void persistSettings_data();
    void persistSettings();
    void notesDestination();
    void setupWizardWindow();
    void completingSetupWithTheMonitorRunning();
    void backendHealth();
    void warmUpUsesTheLiveBaseURL();
    void monitorSwitchAndLevels();
    void settingValuesFromTheViews();
};

void tst_PTTAppStateHousekeeping::startup_data() {
    QTest::addColumn<bool>("setupDone");
    QTest::addColumn<bool>("skipWizard");
    QTest::addColumn<qint64>("keyCode");
    QTest::addColumn<bool>("refuses");
    QTest::addColumn<bool>("started");
    QTest::addColumn<bool>("wizard");
    QTest::addColumn<qint64>("finalKeyCode");

    QTest::newRow("fresh install") << false << false << qint64(49) << false << false << true << qint64(49);
    QTest::newRow("setup done") << true << false << qint64(49) << false << true << false << qint64(49);
    QTest::newRow("skip wizard, fresh")
        << false << true << qint64(49) << false << true << false << qint64(63);
    QTest::newRow("skip wizard, setup done")
        << true << true << qint64(49) << false << true << false << qint64(49);
    QTest::newRow("monitor cannot start")
        << true << false << qint64(49) << true << false << false << qint64(49);
    QTest::newRow("F14 hotkey") << true << false << qint64(107) << false << true << false << qint64(107);
}

void tst_PTTAppStateHousekeeping::startup() {
    QFETCH(bool, setupDone);
    QFETCH(bool, skipWizard);
    QFETCH(qint64, keyCode);
    QFETCH(bool, refuses);
    QFETCH(bool, started);
    QFETCH(bool, wizard);
    QFETCH(qint64, finalKeyCode);

    TemporaryEnvironment environment;
    if (skipWizard) {
        environment.set("PTT_SKIP_WIZARD", "");
    }
    DictationRig rig;
    if (setupDone) {
        rig.settingsStore.markSetupCompleted();
    }
    storeHotkey(rig, keyCode);
    rig.monitor.refusesToStart = refuses;
    rig.ejectRemapCommand = ProcessCommand{QStringLiteral("/usr/bin/remap"), {QStringLiteral("eject")}};
    PTTAppState& state = rig.start();
    QSignalSpy opened(&state, &PTTAppState::setupWizardOpenRequested);

    QCOMPARE(state.hasCompletedSetup(), setupDone || skipWizard);
    QCOMPARE(rig.settingsStore.isSetupCompleted(), setupDone || skipWizard);
    QCOMPARE(rig.settingsStore.load().hotkey.keyCode, finalKeyCode);
    QCOMPARE(state.settings().hotkey.keyCode, finalKeyCode);
    QCOMPARE(rig.backend.healthChecks, 1);

    rig.scheduler.advance(0.49);
    QCOMPARE(rig.monitor.startCount, 0);
    rig.scheduler.advance(0.01);
    QCOMPARE(rig.monitor.startCount, setupDone || skipWizard ? 1 : 0);
    QCOMPARE(state.isHotkeyMonitorRunning(), started);
    QCOMPARE(rig.monitor.isRunning(), started);
    if (started) {
        QCOMPARE(rig.monitor.startedBinding->keyCode, finalKeyCode);
    }
    QCOMPARE(opened.size(), wizard ? 1 : 0);
    QCOMPARE(state.isSetupWizardOpen(), wizard);
    // The remap runs only for F14, and before the monitor listens.
    const QStringList expectedOrder = keyCode == 107 ? QStringList{QStringLiteral("process:/usr/bin/remap"),
                                                                   QStringLiteral("monitor:start")}
                                                     : QStringList{QStringLiteral("monitor:start")};
    QStringList order =
        rig.log.matching(QStringLiteral("process:")) + rig.log.matching(QStringLiteral("monitor:"));
    if (rig.monitor.startCount == 0) {
        QVERIFY(order.isEmpty());
    } else {
        QCOMPARE(order, expectedOrder);
        QVERIFY(rig.log.entries().indexOf(expectedOrder.first()) <=
                rig.log.entries().indexOf(QStringLiteral("monitor:start")));
    }
}

void tst_PTTAppStateHousekeeping::databaseThatCannotOpen() {
    DictationRig rig;
    QVERIFY(QDir().mkpath(rig.databasePath())); // a folder where the file should be
    PTTAppState& state = rig.start();

    QVERIFY(state.lastEvent());
    QVERIFY(state.lastEvent()->error->startsWith(QStringLiteral("Database bootstrap failed: ")));
    QVERIFY(!state.setupStatus().databaseReady);
    QVERIFY(!state.setupStatus().microphoneGranted);

    rig.hold();
    rig.scheduler.advance(5);
    QCOMPARE(rig.paste.pasted, QStringList{QStringLiteral("hello world")});
    QCOMPARE(state.lastEvent()->transcript, std::optional<QString>(QStringLiteral("hello world")));
}

void tst_PTTAppStateHousekeeping::snippetsAndDictionary() {
    DictationRig rig;
    QVERIFY(rig.database.bootstrap());
    QVERIFY(rig.database.saveSnippet(QStringLiteral("sig"), QStringLiteral("Best, Ana")));
    PTTAppState& state = rig.start();
    QVERIFY(state.setupStatus().databaseReady);
    QVERIFY(state.setupStatus().microphoneGranted && state.setupStatus().accessibilityGranted);
    QCOMPARE(state.snippets().size(), std::size_t(1));
    QSignalSpy snippets(&state, &PTTAppState::snippetsChanged);
    QSignalSpy dictionary(&state, &PTTAppState::dictionaryEntriesChanged);

    state.saveSnippet(QStringLiteral("  addr \n"), QStringLiteral("\t1 Main St  "));
    state.saveSnippet(QStringLiteral("   "), QStringLiteral("ignored"));
    state.saveSnippet(QStringLiteral("empty"), QStringLiteral(" \n"));
    QCOMPARE(snippets.size(), 1);
    QCOMPARE(state.snippets().size(), std::size_t(2));
    QCOMPARE(state.snippets().front().trigger, QStringLiteral("addr")); // by trigger
    QCOMPARE(state.snippets().front().body, QStringLiteral("1 Main St"));

    state.saveDictionaryEntry(QStringLiteral(" teh "), QStringLiteral(" the"), false);
    state.saveDictionaryEntry(QStringLiteral("x"), QStringLiteral(""), true);
    QCOMPARE(dictionary.size(), 1);
    QCOMPARE(state.dictionaryEntries().size(), std::size_t(1));
    const DictionaryEntry entry = state.dictionaryEntries().front();
    QCOMPARE(entry.wrong, QStringLiteral("teh"));
    QCOMPARE(entry.correct, QStringLiteral("the"));
    QVERIFY(!entry.wholeWord);
    QCOMPARE(state.property("dictionaryEntries").toList().front().toMap().value(QStringLiteral("wrong")),
             QVariant(QStringLiteral("teh")));

    state.deleteDictionaryEntry(entry.id);
    QVERIFY(state.dictionaryEntries().empty());
    state.deleteSnippet(state.snippets().front().id);
    QCOMPARE(state.snippets().size(), std::size_t(1));

    // A change the database refuses leaves the published lists as they were.
    runSql(rig.databasePath(), "DROP TABLE voice_snippets");
    const auto before = state.snippets();
    state.saveSnippet(QStringLiteral("new"), QStringLiteral("body"));
    state.deleteSnippet(before.front().id);
    QCOMPARE(state.snippets(), before);
}

void tst_PTTAppStateHousekeeping::persistSettings_data() {
    QTest::addColumn<bool>("running");
    QTest::addColumn<bool>("newHotkey");
    QTest::addColumn<bool>("refusesRestart");
    QTest::addColumn<bool>("latched");
    QTest::addColumn<int>("restarts");
    QTest::addColumn<bool>("runningAfter");

    QTest::newRow("new hotkey, running") << true << true << false << false << 1 << true;
    QTest::newRow("same hotkey, running") << true << false << false << false << 0 << true;
    QTest::newRow("new hotkey, stopped") << false << true << false << false << 0 << false;
    QTest::newRow("restart refused") << true << true << true << false << 1 << false;
    QTest::newRow("latched recording") << true << true << false << true << 1 << true;
}

void tst_PTTAppStateHousekeeping::persistSettings() {
    QFETCH(bool, running);
    QFETCH(bool, newHotkey);
    QFETCH(bool, refusesRestart);
    QFETCH(bool, latched);
    QFETCH(int, restarts);
    QFETCH(bool, runningAfter);

    DictationRig rig;
    if (running) {
        rig.settingsStore.markSetupCompleted();
    }
    PTTAppState& state = rig.start();
    rig.scheduler.advance(1);
    QCOMPARE(state.isHotkeyMonitorRunning(), running);
    if (latched) {
        rig.send(HotkeySignal::toggleOn);
        QCOMPARE(rig.capture.state(), IAudioCaptureService::State::capturing);
    }
    rig.overlay.calls.clear();

    PTTSettings settings = state.settings();
    settings.autoSend = true;
    if (newHotkey) {
        settings.hotkey = HotkeyBinding{49, 0x100000, GestureMode::toggle};
    }
    state.setSettings(settings);
    rig.monitor.refusesToStart = refusesRestart;
    state.persistSettings();

    QCOMPARE(rig.settingsStore.load(), settings);
    QCOMPARE(rig.monitor.binding(), settings.hotkey);
    QCOMPARE(rig.monitor.stopCount, restarts);
    QCOMPARE(rig.monitor.startCount, (running ? 1 : 0) + restarts);
    QCOMPARE(state.isHotkeyMonitorRunning(), runningAfter);
    if (restarts > 0 && !refusesRestart) {
        QCOMPARE(*rig.monitor.startedBinding, settings.hotkey);
    }
    // The restarted monitor forgot the latch: the recording could never be finished.
    QCOMPARE(rig.capture.state(), IAudioCaptureService::State::idle);
    QCOMPARE(rig.overlay.calls,
             latched ? QStringList({QStringLiteral("update Cancelled error"), QStringLiteral("hide 0.8")})
                     : QStringList());
}

void tst_PTTAppStateHousekeeping::notesDestination() {
    TemporaryEnvironment environment;
    DictationRig rig;
    PTTAppState& state = rig.start();
    QSignalSpy events(&state, &PTTAppState::lastEventChanged);

    state.chooseNotesFile(); // cancelled
    QCOMPARE(rig.fileChooser.requests.size(), 1);
    const SaveFileRequest& request = rig.fileChooser.requests.front();
    QCOMPARE(request.title, QStringLiteral("Choose Notes Destination"));
    QCOMPARE(request.message, QStringLiteral("Pick the Markdown file used when Notes mode is enabled."));
    QCOMPARE(request.proposedFileName, QStringLiteral("PTT-Notes.md"));
    QCOMPARE(request.directory, QStringLiteral("/home/user/Documents"));
    QVERIFY(!state.settings().notesPathBookmark);
    QVERIFY(!rig.defaults.value(SettingsStore::settingsKey));

    const QString chosen = environment.filePath(QStringLiteral("journal.md"));
    rig.fileChooser.answer = chosen;
    state.chooseNotesFile();
    QCOMPARE(state.settings().notesPathBookmark, std::optional(FileBookmark::create(chosen).value()));
    QCOMPARE(rig.settingsStore.load().notesPathBookmark, state.settings().notesPathBookmark);

    rig.fileChooser.answer = QStringLiteral("relative/journal.md");
    state.chooseNotesFile();
    QVERIFY(state.lastEvent()->error->startsWith(QStringLiteral("Could not save notes destination: ")));
    QCOMPARE(FileBookmark::resolve(*rig.settingsStore.load().notesPathBookmark).value(), chosen);
    QCOMPARE(events.size(), 1);
}

void tst_PTTAppStateHousekeeping::setupWizardWindow() {
    DictationRig rig;
    storeHotkey(rig, 107);
    rig.ejectRemapCommand = ProcessCommand{QStringLiteral("/usr/bin/remap"), {}};
    PTTAppState& state = rig.start();
    QSignalSpy opened(&state, &PTTAppState::setupWizardOpenRequested);
    QSignalSpy raised(&state, &PTTAppState::setupWizardRaiseRequested);
    QSignalSpy closed(&state, &PTTAppState::setupWizardCloseRequested);

    rig.scheduler.advance(0.5);
    QCOMPARE(opened.size(), 1);
    state.openSetupWizard();
    QCOMPARE(opened.size(), 1); // one window, brought forward
    QCOMPARE(raised.size(), 2);
    QVERIFY(!state.isHotkeyMonitorRunning());

    state.setBackendToken(QStringLiteral("tok-123"));
    state.completeSetupWizard();
    QCOMPARE(rig.keychain.read(KeychainService::backendTokenAccount),
             std::optional(QStringLiteral("tok-123")));
    QVERIFY(rig.settingsStore.isSetupCompleted());
    QVERIFY(state.hasCompletedSetup());
    QVERIFY(state.isHotkeyMonitorRunning());
    QCOMPARE(rig.log.matching(QStringLiteral("process:")) + rig.log.matching(QStringLiteral("monitor:")),
             QStringList({QStringLiteral("process:/usr/bin/remap"), QStringLiteral("monitor:start")}));
    QCOMPARE(closed.size(), 1);

    state.setupWizardClosed();
    QVERIFY(!state.isSetupWizardOpen());
    state.openSetupWizard();
    QCOMPARE(opened.size(), 2);
}

void tst_PTTAppStateHousekeeping::completingSetupWithTheMonitorRunning() {
    DictationRig rig;
    rig.settingsStore.markSetupCompleted();
    storeHotkey(rig, 107);
    rig.ejectRemapCommand = ProcessCommand{QStringLiteral("/usr/bin/remap"), {}};
    PTTAppState& state = rig.start();
    rig.scheduler.advance(1);
    QCOMPARE(rig.processLauncher.runs.size(), 1);
    QSignalSpy closed(&state, &PTTAppState::setupWizardCloseRequested);

    state.completeSetupWizard();
    QCOMPARE(rig.monitor.startCount, 1);
    QCOMPARE(rig.monitor.stopCount, 0);
    QCOMPARE(rig.processLauncher.runs.size(), 1);
    QCOMPARE(closed.size(), 0); // no window was open
    // The empty token is stored as it is.
    QCOMPARE(rig.keychain.read(KeychainService::backendTokenAccount), std::optional(QString()));
}

void tst_PTTAppStateHousekeeping::backendHealth() {
    DictationRig rig;
    rig.backend.healthAnswer = FakeBackendClient::transportError(-1004, QStringLiteral("Could not connect"));
    PTTAppState& state = rig.start();
    QVERIFY(!state.serverReachable());

    state.checkBackendHealth();
    QVERIFY(!state.setupStatus().backendReachable);
    QCOMPARE(state.setupStatus().lastBackendError, std::optional(QStringLiteral("Could not connect")));
    QCOMPARE(state.property("setupStatus").toMap().value(QStringLiteral("lastBackendError")).toString(),
             QStringLiteral("Could not connect"));

    rig.backend.healthAnswer = PTTHealthResponse{true, QStringLiteral("s"), true, true, QStringLiteral("1")};
    state.checkBackendHealth();
    QVERIFY(state.setupStatus().backendReachable);
    QVERIFY(!state.setupStatus().lastBackendError);
    QVERIFY(state.serverReachable());

    rig.backend.healthAnswer = FakeBackendClient::serviceError(QStringLiteral("bad"));
    state.checkServerHealth();
    QVERIFY(!state.serverReachable());
}

void tst_PTTAppStateHousekeeping::warmUpUsesTheLiveBaseURL() {
    DictationRig rig;
    PTTAppState& state = rig.start();

    rig.send(HotkeySignal::keyDown);
    QCOMPARE(rig.backend.warmUps, QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1:47321/v1/ptt/health"))});
    rig.send(HotkeySignal::cancel);

    PTTSettings settings = state.settings();
    settings.backendBaseURL = QStringLiteral("https://speech.example/");
    state.setSettings(settings); // not saved yet
    rig.send(HotkeySignal::keyDown);
    QCOMPARE(rig.backend.warmUps.back(), QUrl(QStringLiteral("https://speech.example//v1/ptt/health")));
    rig.send(HotkeySignal::cancel);

    settings.backendBaseURL = QStringLiteral("http://bad host");
    state.setSettings(settings);
    rig.send(HotkeySignal::keyDown);
    QCOMPARE(rig.backend.warmUps.size(), 2);
    QCOMPARE(rig.capture.state(), IAudioCaptureService::State::capturing);
}

void tst_PTTAppStateHousekeeping::monitorSwitchAndLevels() {
    DictationRig rig;
    rig.settingsStore.markSetupCompleted();
    PTTAppState& state = rig.start();
    rig.scheduler.advance(1);
    QSignalSpy running(&state, &PTTAppState::isHotkeyMonitorRunningChanged);

    rig.send(HotkeySignal::keyDown);
    rig.capture.sendLevel(0.4f);
    QCOMPARE(rig.overlay.audioLevel, 0.4f);

    state.stopHotkeyMonitor();
    QVERIFY(!state.isHotkeyMonitorRunning());
    QCOMPARE(rig.capture.state(), IAudioCaptureService::State::idle);
    QCOMPARE(state.lastEvent()->error, std::optional(QStringLiteral("Cancelled")));

    state.startHotkeyMonitor();
    QVERIFY(state.isHotkeyMonitorRunning());
    QCOMPARE(running.size(), 2);
    QVERIFY(!state.lastEvent()->error); // the monitor's `ready`
}

void tst_PTTAppStateHousekeeping::settingValuesFromTheViews() {
    DictationRig rig;
    PTTAppState& state = rig.start();
    QSignalSpy changed(&state, &PTTAppState::settingsChanged);

    QVERIFY(state.setSettingValue(QStringLiteral("autoSend"), true));
    QVERIFY(state.settings().autoSend);
    QVERIFY(state.setSettingValue(QStringLiteral("polishLevel"), QStringLiteral("professional")));
    QCOMPARE(state.settings().polishLevel, PolishLevel::professional);
    QVERIFY(state.setSettingValue(QStringLiteral("hotkey"),
                                  QVariantMap{{QStringLiteral("keyCode"), 49.0},
                                              {QStringLiteral("modifiersRawValue"), 0x40000},
                                              {QStringLiteral("gestureMode"), QStringLiteral("toggle")}}));
    QCOMPARE(state.settings().hotkey, (HotkeyBinding{49, 0x40000, GestureMode::toggle}));
    QCOMPARE(state.property("settings").toMap().value(QStringLiteral("polishLevel")).toString(),
             QStringLiteral("professional"));
    QCOMPARE(changed.size(), 3);

    const PTTSettings before = state.settings();
    QVERIFY(!state.setSettingValue(QStringLiteral("polishLevel"), QStringLiteral("extreme")));
    QVERIFY(!state.setSettingValue(QStringLiteral("noteMode"), QStringLiteral("yes")));
    QVERIFY(!state.setSettingValue(QStringLiteral("volume"), 3));
    QVERIFY(!state.setSettingValue(QStringLiteral("notesPathBookmark"), QStringLiteral("not base64!")));
    QCOMPARE(state.settings(), before);
    QCOMPARE(changed.size(), 3);
    QVERIFY(!rig.defaults.value(SettingsStore::settingsKey)); // edits are not saved by themselves
}

QTEST_GUILESS_MAIN(tst_PTTAppStateHousekeeping)
#include "tst_PTTAppStateHousekeeping.moc"
