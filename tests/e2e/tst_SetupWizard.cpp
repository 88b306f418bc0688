// The first run on the headless desktop: no setup flag opens the wizard, and a new user goes from
// the welcome screen to a working dictation in it: the real X server's keyboard access, the fake
// microphone heard (and heard silent), Caps Lock chosen and held through XTest, and the words of a
// stand-in service pasted into the wizard's own practice field. Each screen is kept beside the
// test binary as wizard-<screen>.png.
#include "DesktopTestSupport.h"
#include "LoopbackHttpServer.h"
#include "TemporaryEnvironment.h"
#include "app/KestrovApp.h"
#include "core/dictation/PTTAppState.h"
#include "core/paths/AppPaths.h"
#include "core/settings/JsonFileKeyValueStore.h"
#include "core/settings/SettingsStore.h"
#include "core/wire/PTTHealthResponse.h"
#include "ui/SetupWizardWindow.h"

#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

namespace {

const QByteArray transcribePath = "/v1/ptt/transcribe";

void useService(const QString& baseURL) {
    JsonFileKeyValueStore defaults(AppPaths::defaultsFile());
    SettingsStore store(defaults);
    PTTSettings settings = store.load();
    settings.backendBaseURL = baseURL;
    settings.polishLevel = PolishLevel::off;
    store.save(settings);
}

bool setupCompletedOnDisk() {
    JsonFileKeyValueStore defaults(AppPaths::defaultsFile());
    return SettingsStore(defaults).isSetupCompleted();
}

// By the visual tree: what a Loader shows is not among its QObject children.
QQuickItem* find(QQuickItem* root, const QString& name) {
    if (root->objectName() == name) {
        return root;
    }
    for (QQuickItem* child : root->childItems()) {
        if (QQuickItem* found = find(child, name)) {
            return found;
        }
    }
    return nullptr;
}

QQuickItem* item(SetupWizardWindow& wizard, const char* name) {
    return find(wizard.window()->contentItem(), QLatin1String(name));
}

void click(SetupWizardWindow& wizard, const char* name) {
    QQuickItem* target = item(wizard, name);
    QVERIFY2(target && target->isVisible() && target->isEnabled(), name);
    const QPointF centre = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
    QTest::mouseClick(wizard.window(), Qt::LeftButton, {}, centre.toPoint());
}

void screenshot(SetupWizardWindow& wizard, const QString& name) {
    QTest::qWait(300); // the cross-fade between screens
    QVERIFY(wizard.window()->grabWindow().save(QCoreApplication::applicationDirPath() +
                                               QStringLiteral("/wizard-%1.png").arg(name)));
}

} // namespace

class tst_SetupWizard : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { DESKTOP_TEST_REQUIRE_DESKTOP(); }
    void withoutKeyboardAccessTheFirstStepWaits();
    void aFirstRunEndsInAWorkingDictation();
};

void tst_SetupWizard::withoutKeyboardAccessTheFirstStepWaits() {
    TemporaryEnvironment environment;
    environment.set("ORLAVO_PLATFORM", "null");
    useService(QStringLiteral("http://127.0.0.1:9"));
    KestrovApp app;
    QTRY_VERIFY(app.setupWindow() && app.setupWindow()->isOpen());
    SetupWizardWindow& wizard = *app.setupWindow();
    QTRY_VERIFY(wizard.window()->isActive());
    QTest::keyClick(wizard.window(), Qt::Key_Return);
    QCOMPARE(wizard.model().step(), 1);
    QTRY_COMPARE(wizard.model().accessibilityStatusText(), QStringLiteral("Not enabled yet"));
    QCOMPARE(wizard.model().accessibilityHint(),
             QStringLiteral("ORLAVO_PLATFORM=null asks for no desktop platform. Quit Orlavo and start it "
                            "again in an X11 session."));
    QVERIFY(!item(wizard, "continueButton")->isEnabled());
    QVERIFY(!item(wizard, "backButton")->isEnabled());
    QTest::keyClick(wizard.window(), Qt::Key_Return);
    QCOMPARE(wizard.model().step(), 1);
    screenshot(wizard, QStringLiteral("keyboard-access-missing"));

    // Closed early: nothing is marked done, nothing listens, and the next start asks again.
    wizard.close();
    QTRY_VERIFY(!app.setupWindow());
    QVERIFY(!app.controller().isSetupWizardOpen());
    QVERIFY(!app.controller().isHotkeyMonitorRunning());
    QVERIFY(!setupCompletedOnDisk());
}

void tst_SetupWizard::aFirstRunEndsInAWorkingDictation() {
    TemporaryEnvironment environment;
    LoopbackHttpServer service;
    service.route("/v1/ptt/health", {{.body = PTTHealthResponse{true, QStringLiteral("orlavo-server"), false,
                                                                true, QStringLiteral("test")}
                                                  .toJson()}});
    service.route(transcribePath,
                  {{.body = R"({"text":"hello from the setup wizard","language":"en","requestId":"w-1"})"}});
    useService(service.url());
    const QString speech = environment.filePath(QStringLiteral("speech.wav"));
    QVERIFY(DesktopTest::makeSpeech(QStringLiteral("hello from the setup wizard"), speech));
    DesktopTest::XClient client;
    QVERIFY(client.isOpen());
    const auto speak = [&speech](QProcess& speaker) {
        speaker.start(QStringLiteral("paplay"),
                      {QStringLiteral("-d"), qEnvironmentVariable("ORLAVO_TEST_MIC_SINK"), speech});
        QVERIFY(speaker.waitForStarted());
    };

    KestrovApp app;
    QCOMPARE(app.platform().name, QStringLiteral("x11"));
    QTRY_VERIFY(app.setupWindow() && app.setupWindow()->isOpen());
    SetupWizardWindow& wizard = *app.setupWindow();
    SetupWizardModel& model = wizard.model();
    QCOMPARE(wizard.window()->title(), QStringLiteral("Brevant Orlavo Setup"));
    QCOMPARE(wizard.window()->size(), QSize(540, 520));
    QTRY_VERIFY(wizard.window()->isActive());
    QVERIFY(!app.controller().isHotkeyMonitorRunning());
    screenshot(wizard, QStringLiteral("welcome"));

    QTest::keyClick(wizard.window(), Qt::Key_Return);
    QCOMPARE(model.step(), 1);
    QTRY_VERIFY(model.accessibilityGranted());
    QVERIFY(!item(wizard, "backButton")->isEnabled());
    screenshot(wizard, QStringLiteral("1-keyboard-access"));
    QTest::keyClick(wizard.window(), Qt::Key_Return);
    QCOMPARE(model.step(), 2);

    // The fake microphone hears only its keepalive's zeros until something is played into it.
    QTRY_VERIFY(model.microphoneGranted());
    click(wizard, "testMicrophoneButton");
    QTRY_VERIFY(model.isTestingMicrophone());
    QTRY_VERIFY_WITH_TIMEOUT(!model.isTestingMicrophone(), 5000);
    QVERIFY(model.microphoneTestHint().contains(QLatin1String("seems muted")));
    QVERIFY(item(wizard, "continueButton")->isEnabled());
    screenshot(wizard, QStringLiteral("2-microphone-silent"));
    QProcess speaker;
    speak(speaker);
    QTest::qWait(300);
    click(wizard, "testMicrophoneButton");
    QTRY_VERIFY_WITH_TIMEOUT(!model.isTestingMicrophone(), 5000);
    QCOMPARE(model.microphoneTestHint(), QString());
    QTRY_COMPARE_WITH_TIMEOUT(speaker.state(), QProcess::NotRunning, 10000);
    screenshot(wizard, QStringLiteral("2-microphone"));
    click(wizard, "backButton");
    QCOMPARE(model.step(), 1);
    click(wizard, "continueButton");
    click(wizard, "continueButton");
    QCOMPARE(model.step(), 3);

    click(wizard, "preset57");
    QCOMPARE(app.controller().settings().hotkey, (HotkeyBinding{57, 0, GestureMode::pushToTalk}));
    click(wizard, "customShortcutButton");
    QTRY_VERIFY(item(wizard, "customShortcut"));
    screenshot(wizard, QStringLiteral("3-shortcut"));
    QTest::keyClick(wizard.window(), Qt::Key_Return);
    QCOMPARE(model.step(), 4);

    QTRY_VERIFY_WITH_TIMEOUT(model.testReady(), 10000);
    QVERIFY(app.controller().isHotkeyMonitorRunning());
    QTRY_VERIFY(item(wizard, "practiceField") && item(wizard, "practiceField")->isVisible());
    click(wizard, "practiceField");
    QTRY_VERIFY(item(wizard, "practiceField")->hasActiveFocus());
    screenshot(wizard, QStringLiteral("4-test"));

    const int capsLock = client.keyCodeOfPosition("CAPS");
    QVERIFY(capsLock > 0);
    client.key(capsLock, true);
    speak(speaker);
    QTest::qWait(1500);
    client.key(capsLock, false);
    QTRY_COMPARE_WITH_TIMEOUT(item(wizard, "practiceField")->property("text").toString().trimmed(),
                              QStringLiteral("Hello from the setup wizard"), 15000);
    QCOMPARE(service.requestsTo(transcribePath).size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(speaker.state(), QProcess::NotRunning, 10000);
    screenshot(wizard, QStringLiteral("4-test-dictated"));

    click(wizard, "continueButton");
    QTRY_VERIFY(!app.setupWindow());
    QVERIFY(app.controller().hasCompletedSetup());
    QVERIFY(setupCompletedOnDisk());
    QVERIFY(app.controller().isHotkeyMonitorRunning());
}

QTEST_MAIN(tst_SetupWizard)
#include "tst_SetupWizard.moc"
