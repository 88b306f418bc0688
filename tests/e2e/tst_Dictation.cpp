// The whole application on the headless desktop: Right Ctrl held through XTest while the fake
// microphone plays speech, a stand-in service on loopback answering with a fixed transcript, and
// the text arriving in a real window of another process.
#include "DesktopTestSupport.h"
#include "LoopbackHttpServer.h"
#include "TemporaryEnvironment.h"
#include "app/KestrovApp.h"
#include "core/dictation/PTTAppState.h"
#include "core/paths/AppPaths.h"
#include "core/settings/JsonFileKeyValueStore.h"
#include "core/settings/SettingsStore.h"
#include "core/storage/LocalDatabase.h"
#include "core/time/SystemClock.h"
#include "ui/OverlayWindow.h"
#include "ui/StatusPopover.h"
#include "ui/StatusTrayIcon.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QTest>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

// Right Control: X11 reports no fn key, and Right Control stands in for it.
constexpr int rightControl = 105;
const QByteArray transcribePath = "/v1/ptt/transcribe";
const QString typed = QStringLiteral("Hello from the desktop test, all is well.");

QByteArray clipboardText() {
    QByteArray text;
    DesktopTest::run(QStringLiteral("xclip"),
                     {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-o")},
                     &text);
    return text;
}

bool isViewable(DesktopTest::XClient& client, unsigned long window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(client.display(), window, &attributes) && attributes.map_state == IsViewable;
}

unsigned long inputFocus(DesktopTest::XClient& client) {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(client.display(), &focus, &revert);
    return focus;
}

} // namespace

class tst_Dictation : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void holdingTheHotkeyTypesIntoTheFocusedWindow();
    void aFailedTranscriptionPastesNothing();
    void theApplicationChecksForUpdatesOnItsOwn();

private:
    // Holds the hotkey for 1.5 s while the microphone hears the speech; `during` runs meanwhile.
    void dictate(const std::function<void()>& during = {});

    std::unique_ptr<TemporaryEnvironment> m_environment;
    std::unique_ptr<LoopbackHttpServer> m_service;
    std::unique_ptr<DesktopTest::XClient> m_client;
    std::unique_ptr<KestrovApp> m_app;
    DesktopTest::TestWindow m_window;
    QString m_speech;
    QStringList m_overlayTexts;
};

void tst_Dictation::initTestCase() {
    DESKTOP_TEST_REQUIRE_DESKTOP();
    m_environment = std::make_unique<TemporaryEnvironment>();
    m_environment->set("PTT_SKIP_WIZARD", "1");
    m_service = std::make_unique<LoopbackHttpServer>();
    m_environment->set("ORLAVO_UPDATE_FEED_URL", (m_service->url(QStringLiteral("/latest.json"))).toUtf8());
    {
        JsonFileKeyValueStore defaults(AppPaths::defaultsFile());
        SettingsStore store(defaults);
        PTTSettings settings = store.load();
        settings.backendBaseURL = m_service->url();
        settings.polishLevel = PolishLevel::off;
        store.save(settings);
    }
    m_speech = m_environment->filePath(QStringLiteral("speech.wav"));
    QVERIFY(DesktopTest::makeSpeech(QStringLiteral("hello from the desktop test, all is well"), m_speech));
    m_client = std::make_unique<DesktopTest::XClient>();
    QVERIFY(m_client->isOpen());

    QElapsedTimer startUp;
    startUp.start();
    m_app = std::make_unique<KestrovApp>();
    QTRY_VERIFY(m_app->trayIcon().isVisible() && !m_app->trayIcon().geometry().isEmpty());
    qInfo("start-up to tray icon: %lld ms", startUp.elapsed());
    QCOMPARE(m_app->platform().name, QStringLiteral("x11"));
    QTRY_VERIFY(m_app->controller().isHotkeyMonitorRunning());
    QVERIFY(!m_app->setupWindow());
    QCOMPARE(m_app->trayIcon().iconName(), QStringLiteral("mic"));
    connect(m_app->overlay().model(), &OverlayModel::textChanged, this,
            [this] { m_overlayTexts << m_app->overlay().model()->text(); });

    // The window sits under the island, so that a click on the island lands in it.
    m_window.setPosition(QPoint(660, 0));
    QVERIFY(m_window.start(QStringLiteral("OrlavoTarget"), QStringLiteral("orlavotarget")));
}

void tst_Dictation::cleanupTestCase() {
    m_window.close();
    m_app.reset();
}

void tst_Dictation::dictate(const std::function<void()>& during) {
    QElapsedTimer held;
    held.start();
    m_client->key(rightControl, true);
    QProcess speaker;
    speaker.start(QStringLiteral("paplay"),
                  {QStringLiteral("-d"), qEnvironmentVariable("ORLAVO_TEST_MIC_SINK"), m_speech});
    QTRY_COMPARE(m_app->trayIcon().iconName(), QStringLiteral("recording"));
    const QString textBefore = m_window.text();
    if (during) {
        during();
    }
    QTest::qWait(static_cast<int>(std::max<qint64>(0, 1500 - held.elapsed())));
    m_client->key(rightControl, false);
    QElapsedTimer released;
    released.start();
    const bool typedSomething = QTest::qWaitFor([&] { return m_window.text() != textBefore; }, 3000);
    if (typedSomething) {
        qInfo("key release to text visible: %lld ms (with a 50 ms paste delay)", released.elapsed());
    }
    // The rest of the speech plays on after the release, as people go on talking; the event loop
    // keeps running meanwhile.
    QTRY_COMPARE_WITH_TIMEOUT(speaker.state(), QProcess::NotRunning, 10000);
}

void tst_Dictation::holdingTheHotkeyTypesIntoTheFocusedWindow() {
    m_service->route(transcribePath,
                     {{.body = R"({"text":"um hello from the desktop test comma all is well period",)"
                               R"("language":"en","requestId":"e2e-1"})"}});
    QProcess clipboardOwner;
    clipboardOwner.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                                   QStringLiteral("-quiet")});
    QVERIFY(clipboardOwner.waitForStarted());
    clipboardOwner.write("what the user copied");
    clipboardOwner.closeWriteChannel();
    QTRY_COMPARE(clipboardText(), QByteArray("what the user copied"));

    dictate([this] {
        QQuickWindow* overlay = m_app->overlayWindow()->window();
        QVERIFY(overlay);
        QTRY_VERIFY(isViewable(*m_client, overlay->winId()));
        QVERIFY(inputFocus(*m_client) != overlay->winId());
        auto* island = overlay->contentItem()->findChild<QQuickItem*>(QStringLiteral("island"));
        QTRY_COMPARE(island->width(), 320.0);
        QGuiApplication::primaryScreen()->grabWindow(0).save(QCoreApplication::applicationDirPath() +
                                                             QStringLiteral("/desktop-recording.png"));
        // A click on the island goes through to the window under it.
        XTestFakeMotionEvent(m_client->display(), -1, 960, 40, 0);
        XTestFakeButtonEvent(m_client->display(), 1, True, 0);
        XTestFakeButtonEvent(m_client->display(), 1, False, 0);
        m_client->sync();
        QTRY_COMPARE(m_window.presses(), 1);
    });

    QVERIFY2(m_window.waitForText(typed, 15000), qPrintable(m_window.text()));
    QCOMPARE(m_window.focusLosses(), 0);
    QCOMPARE(m_client->activeWindow(), m_window.windowId());
    QVERIFY(m_overlayTexts.contains(QStringLiteral("Done")));
    QCOMPARE(m_service->requestsTo(transcribePath).size(), 1);

    // The user's clipboard comes back once the window has read ours.
    QTRY_COMPARE_WITH_TIMEOUT(clipboardText(), QByteArray("what the user copied"), 5000);
    SystemClock clock;
    LocalDatabase database(clock, AppPaths::databaseFile(), LocalDatabase::Access::readOnly);
    QVERIFY(database.bootstrap());
    const PTTStatsSummary summary = database.fetchStatsSummary();
    QCOMPARE(summary.totalSessions, qint64(1));
    QCOMPARE(summary.totalWords, qint64(8));
    QTRY_VERIFY_WITH_TIMEOUT(!m_app->overlayWindow()->window()->isVisible(), 5000);
    QCOMPARE(m_app->trayIcon().iconName(), QStringLiteral("mic"));
    clipboardOwner.kill();
    clipboardOwner.waitForFinished();
}

void tst_Dictation::aFailedTranscriptionPastesNothing() {
    m_overlayTexts.clear();
    const qsizetype before = m_service->requestsTo(transcribePath).size();
    const QString textBefore = m_window.text();
    // A busy service names its status in the body, as gateways do: that is what makes it worth a retry.
    const QByteArray busy = R"({"error":"503 Service Unavailable"})";
    m_service->route(transcribePath, {{503, busy}, {503, busy}});
    dictate();
    QTRY_VERIFY_WITH_TIMEOUT(m_overlayTexts.contains(QStringLiteral("Try again")), 10000);
    QVERIFY(m_overlayTexts.contains(QStringLiteral("Reconnecting…")));
    QCOMPARE(m_app->overlay().model()->state(), OverlayState::error);
    QVERIFY(m_app->overlayWindow()->window()->isVisible());
    QCOMPARE(m_service->requestsTo(transcribePath).size(), before + 2);
    QTRY_VERIFY_WITH_TIMEOUT(!m_app->overlayWindow()->window()->isVisible(), 5000);
    QCOMPARE(m_window.text(), textBefore);
    QVERIFY(m_app->controller().lastEvent()->error->contains(QLatin1String("503")));
}

void tst_Dictation::theApplicationChecksForUpdatesOnItsOwn() {
    // Five seconds after the start, with the pop-over never opened.
    QTRY_COMPARE_WITH_TIMEOUT(m_service->requestsTo("/latest.json").size(), 1, 8000);
    QCOMPARE(m_app->popover().window(), nullptr);
}

QTEST_MAIN(tst_Dictation)
#include "tst_Dictation.moc"
