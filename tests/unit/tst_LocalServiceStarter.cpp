#include "FakeBackendClient.h"
#include "VirtualScheduler.h"
#include "core/backend/LocalServiceStarter.h"
#include "core/common/ErrorDomain.h"
#include "core/ports/ProcessLauncher.h"

#include <QTest>

namespace {

const QString loopback = QStringLiteral("http://127.0.0.1:8123");
const QString server = QStringLiteral("/opt/orlavo/bin/orlavo-server");
constexpr int cannotRun = -1;

// Answers systemctl with `systemctlExit` and starts the server when asked; whatever it starts
// begins to answer `upAfter` seconds later (never when negative).
class ScriptedLauncher final : public ProcessLauncher {
public:
    ScriptedLauncher(VirtualScheduler& scheduler, FakeBackendClient& backend)
        : m_scheduler(scheduler)
        , m_backend(backend) {}

    QCoro::Task<Result<int>> run(QString program, QStringList arguments) override {
        calls << (program + QLatin1Char(' ') + arguments.join(QLatin1Char(' ')));
        if (systemctlExit == cannotRun) {
            co_return PTTError{ErrorDomain::platform, 1, QStringLiteral("Could not start “systemctl”")};
        }
        if (systemctlExit == 0) {
            comeUp();
        }
        co_return systemctlExit;
    }
    Result<void> startDetached(const QString& program, const QStringList&) override {
        calls << program;
        comeUp();
        return {};
    }

    int systemctlExit = 0;
    double upAfter = 1;
    QStringList calls;

private:
    void comeUp() {
        if (upAfter >= 0) {
            m_scheduler.after(upAfter, [this] {
                m_backend.healthAnswer = PTTHealthResponse{true, "orlavo-server", false, true, "test"};
            });
        }
    }
    VirtualScheduler& m_scheduler;
    FakeBackendClient& m_backend;
};

} // namespace

class tst_LocalServiceStarter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void ensureRunning_data();
    void ensureRunning();
};

void tst_LocalServiceStarter::ensureRunning_data() {
    QTest::addColumn<QString>("baseURL");
    QTest::addColumn<QString>("healthError"); // the domain of the first answer; empty: it answers
    QTest::addColumn<bool>("userSystemd");
    QTest::addColumn<int>("systemctlExit");
    QTest::addColumn<QString>("serverProgram");
    QTest::addColumn<double>("upAfter");
    QTest::addColumn<QString>("error"); // a part of the error; empty: success
    QTest::addColumn<QStringList>("calls");

    const QString network = ErrorDomain::network;
    const QString systemctl = QStringLiteral("systemctl --user --no-block start orlavo-server.service");
    QTest::newRow("a service on another machine is left alone")
        << "https://dictation.example.com" << network << true << 0 << server << 1.0 << "" << QStringList();
    QTest::newRow("already answering") << loopback << "" << true << 0 << server << 1.0 << "" << QStringList();
    QTest::newRow("something else on the port: nothing started")
        << loopback << ErrorDomain::json << true << 0 << server << 1.0 << "" << QStringList();
    QTest::newRow("the user unit starts")
        << loopback << network << true << 0 << server << 1.0 << "" << QStringList{systemctl};
    QTest::newRow("no unit installed: the program beside")
        << loopback << network << true << 5 << server << 0.5 << "" << QStringList{systemctl, server};
    QTest::newRow("no systemctl: the program beside")
        << loopback << network << true << cannotRun << server << 0.5 << "" << QStringList{systemctl, server};
    QTest::newRow("no user manager: the program beside")
        << loopback << network << false << 0 << server << 2.0 << "" << QStringList{server};
    QTest::newRow("the unit never answers: no second server")
        << loopback << network << true << 0 << server << -1.0 << "did not answer within 15 seconds"
        << QStringList{systemctl};
    QTest::newRow("the program never answers") << loopback << network << false << 0 << server << -1.0
                                               << "did not answer within 15 seconds" << QStringList{server};
    QTest::newRow("nothing installed to start") << loopback << network << false << 0 << "" << 1.0
                                                << "orlavo-server is not installed" << QStringList();
    QTest::newRow("no unit and no program: the systemd error")
        << loopback << network << true << 5 << "" << 1.0 << "systemctl could not start"
        << QStringList{systemctl};
}

void tst_LocalServiceStarter::ensureRunning() {
    QFETCH(QString, baseURL);
    QFETCH(QString, healthError);
    QFETCH(bool, userSystemd);
    QFETCH(int, systemctlExit);
    QFETCH(QString, serverProgram);
    QFETCH(double, upAfter);
    QFETCH(QString, error);
    QFETCH(QStringList, calls);

    VirtualScheduler scheduler;
    FakeBackendClient backend(scheduler);
    if (!healthError.isEmpty()) {
        backend.healthAnswer = PTTError{healthError, -1004, QStringLiteral("refused")};
    }
    ScriptedLauncher launcher(scheduler, backend);
    launcher.systemctlExit = systemctlExit;
    launcher.upAfter = upAfter;
    LocalServiceStarter::Options options;
    options.unitName = QStringLiteral("orlavo-server.service");
    options.serverProgram = serverProgram;
    options.userSystemd = userSystemd;
    LocalServiceStarter starter(
        backend, launcher, scheduler, [&] { return baseURL; }, options);

    std::optional<Result<void>> outcome;
    auto ensure = [&]() -> QCoro::Task<> { outcome = co_await starter.ensureRunning(); };
    auto task = ensure();
    for (int step = 0; step < 200 && !outcome; ++step) {
        scheduler.advance(0.1);
    }

    QVERIFY(outcome.has_value());
    QCOMPARE(outcome->ok(), error.isEmpty());
    if (!error.isEmpty()) {
        QVERIFY2(outcome->error().description.contains(error), qPrintable(outcome->error().description));
    }
    QCOMPARE(launcher.calls, calls);
    // The wait is bounded: at most the time-out and one poll past it.
    QVERIFY(scheduler.now() <= options.startTimeoutSeconds + 2 * options.pollIntervalSeconds);
}

QTEST_GUILESS_MAIN(tst_LocalServiceStarter)
#include "tst_LocalServiceStarter.moc"
