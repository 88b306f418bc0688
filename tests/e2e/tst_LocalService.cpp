// With nothing listening on the loopback backend, the app starts orlavo-server itself (no
// systemd user manager here, so the program) and a dictation goes through it. The server
// forwards to a stand-in upstream on loopback, so the words are known.
#include "DesktopTestSupport.h"
#include "LoopbackHttpServer.h"
#include "TemporaryEnvironment.h"
#include "app/KestrovApp.h"
#include "core/dictation/PTTAppState.h"
#include "core/paths/AppPaths.h"
#include "core/settings/JsonFileKeyValueStore.h"
#include "core/settings/SettingsStore.h"
#include "ui/StatusTrayIcon.h"

#include <QProcess>
#include <QTcpServer>
#include <QTest>

#include <X11/Xlib.h>

namespace {

constexpr int rightControl = 105;

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

} // namespace

class tst_LocalService : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aDictationGoesThroughTheServiceTheAppStarted();
};

void tst_LocalService::aDictationGoesThroughTheServiceTheAppStarted() {
    DESKTOP_TEST_REQUIRE_DESKTOP();
    TemporaryEnvironment environment;
    environment.set("PTT_SKIP_WIZARD", "1");
    // No systemd user manager answers in this runtime folder.
    environment.set("XDG_RUNTIME_DIR", environment.path().toUtf8());
    environment.set("ORLAVO_SERVER_PROGRAM", ORLAVO_TEST_SERVER_PROGRAM);
    LoopbackHttpServer upstream;
    upstream.route("/v1/audio/transcriptions", {{.body = R"({"text":"Started by the app."})"}});
    environment.set("ORLAVO_UPSTREAM_URL", upstream.url(QStringLiteral("/v1")).toUtf8());
    environment.set("ORLAVO_UPSTREAM_KEY", "test-key");
    environment.set("ORLAVO_ENGINE", "openai");

    const quint16 port = freePort();
    environment.write(AppPaths::serverConfigFile(),
                      QStringLiteral(R"({"listen":"127.0.0.1:%1"})").arg(port).toUtf8());
    {
        JsonFileKeyValueStore defaults(AppPaths::defaultsFile());
        SettingsStore store(defaults);
        PTTSettings settings = store.load();
        settings.backendBaseURL = QStringLiteral("http://127.0.0.1:%1").arg(port);
        settings.polishLevel = PolishLevel::off;
        store.save(settings);
    }
    const QString speech = environment.filePath(QStringLiteral("speech.wav"));
    QVERIFY(DesktopTest::makeSpeech(QStringLiteral("started by the app"), speech));
    DesktopTest::XClient client;
    QVERIFY(client.isOpen());
    DesktopTest::TestWindow window;
    QVERIFY(window.start(QStringLiteral("OrlavoTarget"), QStringLiteral("orlavotarget")));

    auto app = std::make_unique<KestrovApp>();
    // The started server outlives the app, as a service does: stop it by its port.
    const auto stopServer = qScopeGuard([port] {
        QProcess::execute(QStringLiteral("fuser"),
                          {QStringLiteral("-k"), QStringLiteral("%1/tcp").arg(port)});
    });
    QTRY_VERIFY_WITH_TIMEOUT(
        app->controller().serverReachable() && app->controller().isHotkeyMonitorRunning(), 20000);

    client.key(rightControl, true);
    QProcess speaker;
    speaker.start(QStringLiteral("paplay"),
                  {QStringLiteral("-d"), qEnvironmentVariable("ORLAVO_TEST_MIC_SINK"), speech});
    QTRY_COMPARE(app->trayIcon().iconName(), QStringLiteral("recording"));
    QTest::qWait(1500);
    client.key(rightControl, false);
    QVERIFY2(window.waitForText(QStringLiteral("Started by the app."), 15000), qPrintable(window.text()));
    QCOMPARE(upstream.requestsTo("/v1/audio/transcriptions").size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(speaker.state(), QProcess::NotRunning, 10000);
    app.reset();
}

QTEST_MAIN(tst_LocalService)
#include "tst_LocalService.moc"
