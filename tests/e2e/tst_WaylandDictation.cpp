// The whole application on a headless sway: `orlavo start`, speech into the fake microphone,
// `orlavo stop`, and the text arrives in a Wayland window of another process through the
// data-control clipboard and the virtual keyboard; the user's clipboard comes back afterwards.
#include "DesktopTestSupport.h"
#include "LoopbackHttpServer.h"
#include "TemporaryEnvironment.h"
#include "app/KestrovApp.h"
#include "app/SingleInstance.h"
#include "core/paths/AppPaths.h"
#include "core/settings/JsonFileKeyValueStore.h"
#include "core/settings/SettingsStore.h"
#include "ui/StatusTrayIcon.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

namespace {

const QByteArray transcribePath = "/v1/ptt/transcribe";
const QString typed = QStringLiteral("Hello from sway, all is well.");

QByteArray clipboardText() {
    QByteArray text;
    DesktopTest::run(QStringLiteral("wl-paste"), {QStringLiteral("--no-newline")}, &text);
    return text;
}

int orlavo(const QString& command) {
    return DesktopTest::run(qEnvironmentVariable("ORLAVO_BINARY"), {command});
}

QString portPath(const PlatformServices& platform, const QString& port) {
    for (const PortPath& path : platform.paths) {
        if (path.port == port) {
            return path.path;
        }
    }
    return {};
}

} // namespace

class tst_WaylandDictation : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void startAndStopTypeIntoTheFocusedWindow();

private:
    std::unique_ptr<TemporaryEnvironment> m_environment;
    std::unique_ptr<LoopbackHttpServer> m_service;
    std::unique_ptr<KestrovApp> m_app;
    // Where `orlavo start` and `orlavo stop` reach the application, as in a running `orlavo`.
    std::unique_ptr<SingleInstance> m_instance;
    DesktopTest::TestWindow m_window;
    QString m_speech;
};

void tst_WaylandDictation::initTestCase() {
    DESKTOP_TEST_REQUIRE_WAYLAND();
    m_environment = std::make_unique<TemporaryEnvironment>();
    m_environment->set("PTT_SKIP_WIZARD", "1");
    m_service = std::make_unique<LoopbackHttpServer>();
    m_environment->set("ORLAVO_UPDATE_FEED_URL", m_service->url(QStringLiteral("/latest.json")).toUtf8());
    {
        JsonFileKeyValueStore defaults(AppPaths::defaultsFile());
        SettingsStore store(defaults);
        PTTSettings settings = store.load();
        settings.backendBaseURL = m_service->url();
        settings.polishLevel = PolishLevel::off;
        store.save(settings);
    }
    m_speech = m_environment->filePath(QStringLiteral("speech.wav"));
    QVERIFY(DesktopTest::makeSpeech(QStringLiteral("hello from sway, all is well"), m_speech));

    m_app = std::make_unique<KestrovApp>();
    QCOMPARE(m_app->platform().name, QStringLiteral("wayland"));
    QCOMPARE(portPath(m_app->platform(), QStringLiteral("clipboard")), QStringLiteral("data control"));
    QCOMPARE(portPath(m_app->platform(), QStringLiteral("key output")), QStringLiteral("virtual keyboard"));
    QCOMPARE(portPath(m_app->platform(), QStringLiteral("front application")),
             QStringLiteral("foreign toplevel"));
    m_instance = std::make_unique<SingleInstance>();
    QString why;
    QVERIFY2(m_instance->becomePrimary(&why), qPrintable(why));
    m_instance->setHandler(
        [this](const QStringList& arguments) { return m_app->handleRemoteCommand(arguments); });
    QVERIFY(m_window.start(QStringLiteral("OrlavoTarget"), QStringLiteral("orlavotarget")));
}

void tst_WaylandDictation::cleanupTestCase() {
    m_window.close();
    m_instance.reset();
    m_app.reset();
}

void tst_WaylandDictation::startAndStopTypeIntoTheFocusedWindow() {
    m_service->route(transcribePath, {{.body = R"({"text":"um hello from sway comma all is well period",)"
                                               R"("language":"en","requestId":"wayland-1"})"}});
    QProcess clipboardOwner;
    clipboardOwner.start(QStringLiteral("wl-copy"),
                         {QStringLiteral("--foreground"), QStringLiteral("what the user copied")});
    QVERIFY(clipboardOwner.waitForStarted());
    QTRY_COMPARE(clipboardText(), QByteArray("what the user copied"));

    QCOMPARE(orlavo(QStringLiteral("start")), 0);
    QTRY_COMPARE(m_app->trayIcon().iconName(), QStringLiteral("recording"));
    QVERIFY(DesktopTest::speakIntoMicrophone(m_speech));
    QCOMPARE(orlavo(QStringLiteral("stop")), 0);
    QElapsedTimer stopped;
    stopped.start();
    QVERIFY2(m_window.waitForText(typed, 15000), qPrintable(m_window.text()));
    qInfo(
        "orlavo stop to text visible on sway: %lld ms (upload, transcript and a 50 ms paste delay included)",
        stopped.elapsed());
    QCOMPARE(m_service->requestsTo(transcribePath).size(), 1);

    // The user's clipboard comes back once the window has read ours.
    QTRY_COMPARE_WITH_TIMEOUT(clipboardText(), QByteArray("what the user copied"), 5000);
    clipboardOwner.kill();
    clipboardOwner.waitForFinished();
}

QTEST_MAIN(tst_WaylandDictation)
#include "tst_WaylandDictation.moc"
