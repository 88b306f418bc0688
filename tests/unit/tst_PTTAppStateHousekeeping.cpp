#include "DictationRig.h"
#include "TemporaryEnvironment.h"
#include "core/files/FileBookmark.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <sqlite3.h>

namespace {

void storeHotkey(DictationRig& rig, qint64 keyCode) {
    PTTSettings settings = rig.settingsStore.load();
    settings.hotkey.keyCode = keyCode;
    rig.settingsStore.save(settings);
}

// What the remap program and the monitor were asked to do, in order.
QStringList monitorCalls(const DictationRig& rig) {
    QStringList calls = rig.log.entries();
    calls.removeIf(
        [](const QString& entry) { return !entry.startsWith("process:") && !entry.startsWith("monitor:"); });
    return calls;
}

const ProcessCommand remap{"/usr/bin/remap", {"eject"}};

} // namespace

class tst_PTTAppStateHousekeeping : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { qunsetenv("PTT_SKIP_WIZARD"); }
    void startup_data();
    void startup();
    void databaseThatCannotOpen();
    void storageFailuresAreTold();
    void snippetsAndDictionary();
    void persistSettings_data();
    void persistSettings();
    void notesDestination();
    void setupWizardWindow();
    void warmUpUsesTheLiveBaseURL();
    void settingValuesFromTheViews();
};

void tst_PTTAppStateHousekeeping::startup_data() {
    QTest::addColumn<bool>("setupDone");
    QTest::addColumn<bool>("skipWizard");
    QTest::addColumn<int>("keyCode");
    QTest::addColumn<bool>("refuses");
    QTest::addColumn<QString>("outcome"); // setup, hotkey, monitor, window; then the remap and monitor calls

    QTest::newRow("fresh install") << false << false << 49 << false << "incomplete 49 idle wizard";
    QTest::newRow("setup done") << true << false << 49 << false << "complete 49 listening - monitor:start";
    QTest::newRow("skip wizard: the default hotkey")
        << false << true << 49 << false << "complete 63 listening - monitor:start";
    QTest::newRow("monitor cannot start")
        << true << false << 49 << true << "complete 49 idle - monitor:start";
    QTest::newRow("F14: remapped before the monitor listens")
        << true << false << 107 << false << "complete 107 listening - process:/usr/bin/remap monitor:start";
}

void tst_PTTAppStateHousekeeping::startup() {
    QFETCH(bool, setupDone);
    QFETCH(bool, skipWizard);
    QFETCH(int, keyCode);
    QFETCH(bool, refuses);
    QFETCH(QString, outcome);

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
    rig.ejectRemapCommand = remap;
    PTTAppState& state = rig.start();
    QSignalSpy opened(&state, &PTTAppState::setupWizardOpenRequested);
    QCOMPARE(rig.backend.healthChecks, 1);
    rig.scheduler.advance(0.49);
    QCOMPARE(rig.monitor.startCount, 0);
    rig.scheduler.advance(0.01);

    const QStringList observed{state.hasCompletedSetup() ? "complete" : "incomplete",
                               QString::number(state.settings().hotkey.keyCode),
                               state.isHotkeyMonitorRunning() ? "listening" : "idle",
                               state.isSetupWizardOpen() ? "wizard" : "-"};
    QCOMPARE((observed + monitorCalls(rig)).join(' '), outcome);
    // The store, the monitor and the window agree with the published state.
    QCOMPARE(rig.settingsStore.isSetupCompleted(), state.hasCompletedSetup());
    QCOMPARE(rig.settingsStore.load().hotkey, state.settings().hotkey);
    QCOMPARE(rig.monitor.isRunning(), state.isHotkeyMonitorRunning());
    QVERIFY(!rig.monitor.isRunning() || rig.monitor.startedBinding == state.settings().hotkey);
    QCOMPARE(opened.size(), state.isSetupWizardOpen() ? 1 : 0);
}

void tst_PTTAppStateHousekeeping::databaseThatCannotOpen() {
    DictationRig rig;
    QVERIFY(QDir().mkpath(rig.databasePath())); // a folder where the file should be
    PTTAppState& state = rig.start();
    QVERIFY(state.lastEvent()->error->startsWith("Database bootstrap failed: "));
    QVERIFY(!state.setupStatus().databaseReady);

    // Dictation still works without statistics.
    rig.hold();
    rig.scheduler.advance(5);
    QCOMPARE(rig.paste.pasted, QStringList{"hello world"});
    QCOMPARE(state.lastEvent()->transcript, "hello world");
}

void tst_PTTAppStateHousekeeping::storageFailuresAreTold() {
    DictationRig rig;
    QVERIFY(rig.database.bootstrap());
    // Another connection makes every statistics insert fail, as a full disk would.
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(rig.databasePath()).constData(), &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other,
                          "CREATE TRIGGER full BEFORE INSERT ON ptt_stats BEGIN SELECT RAISE(ABORT, 'disk is "
                          "full'); END",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    PTTAppState& state = rig.start();
    rig.hold();
    rig.scheduler.advance(5);
    QCOMPARE(rig.paste.pasted, QStringList{"hello world"});
    QCOMPARE(state.lastEvent()->transcript, "hello world");
    QCOMPARE(state.lastEvent()->error, "The statistics could not be saved: disk is full");

    QCOMPARE(sqlite3_exec(other, "DROP TRIGGER full", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    rig.hold();
    rig.scheduler.advance(5);
    QCOMPARE(state.lastEvent()->error, std::nullopt);

    rig.defaults.failWrites = "No space left on device";
    state.persistSettings();
    QCOMPARE(state.lastEvent()->error, "No space left on device");
}

void tst_PTTAppStateHousekeeping::snippetsAndDictionary() {
    DictationRig rig;
    QVERIFY(rig.database.bootstrap());
    QVERIFY(rig.database.saveSnippet("sig", "Best, Ana"));
    PTTAppState& state = rig.start();
    QVERIFY(state.setupStatus().databaseReady);
    QVERIFY(state.setupStatus().microphoneGranted && state.setupStatus().accessibilityGranted);
    QSignalSpy snippets(&state, &PTTAppState::snippetsChanged);
    QSignalSpy dictionary(&state, &PTTAppState::dictionaryEntriesChanged);

    // Trimmed; blank triggers, bodies or corrections are ignored. Snippets come by trigger.
    QVERIFY(state.saveSnippet("  addr \n", "\t1 Main St  ").ok());
    QVERIFY(!state.saveSnippet("   ", "ignored").ok());
    QVERIFY(!state.saveSnippet("empty", " \n").ok());
    QVERIFY(state.saveDictionaryEntry(" teh ", " the", false).ok());
    QVERIFY(!state.saveDictionaryEntry("x", "", true).ok());
    QCOMPARE(snippets.size(), 1);
    QCOMPARE(dictionary.size(), 1);
    const auto snippet = [&state](std::size_t at) {
        return state.snippets().at(at).trigger + '=' + state.snippets().at(at).body;
    };
    QCOMPARE(QStringList({snippet(0), snippet(1)}), QStringList({"addr=1 Main St", "sig=Best, Ana"}));
    const QVariantMap entry{{"id", state.dictionaryEntries().front().id},
                            {"wrong", "teh"},
                            {"correct", "the"},
                            {"wholeWord", false}};
    QCOMPARE(state.property("dictionaryEntries").toList(), QVariantList{entry});

    state.deleteDictionaryEntry(state.dictionaryEntries().front().id);
    state.deleteSnippet(state.snippets().front().id);
    QVERIFY(state.dictionaryEntries().empty());
    QCOMPARE(state.snippets().size(), std::size_t(1));

    // A change the database refuses leaves the published lists as they were.
    sqlite3* connection = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(rig.databasePath()).constData(), &connection), SQLITE_OK);
    QCOMPARE(sqlite3_exec(connection, "DROP TABLE voice_snippets", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(connection);
    const auto before = state.snippets();
    QVERIFY(!state.saveSnippet("new", "body").ok());
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
    QVERIFY(!runningAfter || rig.monitor.startedBinding == settings.hotkey);
    // The restarted monitor forgot the latch: the recording could never be finished.
    QCOMPARE(rig.capture.state(), IAudioCaptureService::State::idle);
    QCOMPARE(rig.overlay.calls,
             latched ? QStringList({"update Cancelled error", "hide 0.8"}) : QStringList());
}

void tst_PTTAppStateHousekeeping::notesDestination() {
    TemporaryEnvironment environment;
    DictationRig rig;
    PTTAppState& state = rig.start();
    QSignalSpy events(&state, &PTTAppState::lastEventChanged);

    state.chooseNotesFile(); // cancelled
    QCOMPARE(rig.fileChooser.requests.size(), 1);
    QCOMPARE(rig.fileChooser.requests.front().directory + '/' +
                 rig.fileChooser.requests.front().proposedFileName,
             "/home/user/Documents/PTT-Notes.md");
    QVERIFY(!state.settings().notesPathBookmark);
    QVERIFY(!rig.defaults.value(SettingsStore::settingsKey));

    const QString chosen = environment.filePath("journal.md");
    rig.fileChooser.answer = chosen;
    state.chooseNotesFile();
    QCOMPARE(state.settings().notesPathBookmark, FileBookmark::create(chosen).value());
    QCOMPARE(rig.settingsStore.load().notesPathBookmark, state.settings().notesPathBookmark);

    // A path that cannot be kept is an error; the last choice stays.
    rig.fileChooser.answer = "relative/journal.md";
    state.chooseNotesFile();
    QVERIFY(state.lastEvent()->error->startsWith("Could not save notes destination: "));
    QCOMPARE(FileBookmark::resolve(*rig.settingsStore.load().notesPathBookmark).value(), chosen);
    QCOMPARE(events.size(), 1);
}

void tst_PTTAppStateHousekeeping::setupWizardWindow() {
    DictationRig rig;
    storeHotkey(rig, 107);
    rig.ejectRemapCommand = remap;
    PTTAppState& state = rig.start();
    QSignalSpy opened(&state, &PTTAppState::setupWizardOpenRequested);
    QSignalSpy raised(&state, &PTTAppState::setupWizardRaiseRequested);
    QSignalSpy closed(&state, &PTTAppState::setupWizardCloseRequested);
    const auto windows = [&] { return QList<qsizetype>{opened.size(), raised.size(), closed.size()}; };

    // One window, brought forward when asked again; the monitor waits for the setup.
    rig.scheduler.advance(0.5);
    state.openSetupWizard();
    QCOMPARE(windows(), QList<qsizetype>({1, 2, 0}));
    QVERIFY(!state.isHotkeyMonitorRunning());

    state.setBackendToken("tok-123");
    state.completeSetupWizard();
    QCOMPARE(rig.keychain.read(KeychainService::backendTokenAccount), "tok-123");
    QVERIFY(rig.settingsStore.isSetupCompleted() && state.hasCompletedSetup() &&
            state.isHotkeyMonitorRunning());
    QCOMPARE(windows(), QList<qsizetype>({1, 2, 1}));
    state.setupWizardClosed();
    state.openSetupWizard();
    state.setupWizardClosed();
    QCOMPARE(windows(), QList<qsizetype>({2, 3, 1}));

    // Completing with the monitor running neither restarts it nor remaps again, and no window closes.
    // The empty token is stored as it is.
    state.setBackendToken("");
    state.completeSetupWizard();
    QCOMPARE(monitorCalls(rig), QStringList({"process:/usr/bin/remap", "monitor:start"}));
    QCOMPARE(windows(), QList<qsizetype>({2, 3, 1}));
    QCOMPARE(rig.keychain.read(KeychainService::backendTokenAccount), "");
}

void tst_PTTAppStateHousekeeping::warmUpUsesTheLiveBaseURL() {
    DictationRig rig;
    PTTAppState& state = rig.start();
    rig.send(HotkeySignal::keyDown);
    rig.send(HotkeySignal::cancel);

    PTTSettings settings = state.settings();
    settings.backendBaseURL = "https://speech.example/";
    state.setSettings(settings); // not saved yet
    rig.send(HotkeySignal::keyDown);
    rig.send(HotkeySignal::cancel);
    QCOMPARE(rig.backend.warmUps, QList<QUrl>({QUrl("http://127.0.0.1:27321/v1/ptt/health"),
                                               QUrl("https://speech.example//v1/ptt/health")}));

    // A base URL that is no URL warms nothing up, and the recording goes on, its levels shown.
    settings.backendBaseURL = "http://bad host";
    state.setSettings(settings);
    rig.send(HotkeySignal::keyDown);
    QCOMPARE(rig.backend.warmUps.size(), 2);
    QCOMPARE(rig.capture.state(), IAudioCaptureService::State::capturing);
    rig.capture.sendLevel(0.4f);
    QCOMPARE(rig.overlay.audioLevel, 0.4f);
}

void tst_PTTAppStateHousekeeping::settingValuesFromTheViews() {
    DictationRig rig;
    PTTAppState& state = rig.start();
    QSignalSpy changed(&state, &PTTAppState::settingsChanged);

    QVERIFY(state.setSettingValue("autoSend", true));
    QVERIFY(state.setSettingValue("polishLevel", "professional"));
    QVERIFY(state.setSettingValue(
        "hotkey", QVariantMap{{"keyCode", 49.0}, {"modifiersRawValue", 0x40000}, {"gestureMode", "toggle"}}));
    QVERIFY(state.settings().autoSend);
    QCOMPARE(state.settings().hotkey, (HotkeyBinding{49, 0x40000, GestureMode::toggle}));
    QCOMPARE(state.property("settings").toMap().value("polishLevel").toString(), "professional");
    QCOMPARE(changed.size(), 3);

    const PTTSettings before = state.settings();
    QVERIFY(!state.setSettingValue("polishLevel", "extreme"));
    QVERIFY(!state.setSettingValue("noteMode", "yes"));
    QVERIFY(!state.setSettingValue("volume", 3));
    QVERIFY(!state.setSettingValue("notesPathBookmark", "not base64!"));
    QCOMPARE(state.settings(), before);
    QCOMPARE(changed.size(), 3);
    QVERIFY(!rig.defaults.value(SettingsStore::settingsKey)); // edits are not saved by themselves
}

QTEST_GUILESS_MAIN(tst_PTTAppStateHousekeeping)
#include "tst_PTTAppStateHousekeeping.moc"
