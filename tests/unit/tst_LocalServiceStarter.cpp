// Starting the local service: only when nothing listens on a loopback address and the program is
// installed, with the listen address of the configured URL, and a bounded wait for its health
// check, all in virtual time.
#include "DictationRig.h"
#include "backend/LocalServiceStarter.h"
#include "net/NetworkError.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const PTTError refused = NetworkError::make(NetworkError::cannotConnectToHost);

} // namespace

class tst_LocalServiceStarter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theLocalServiceIsStartedWhenNothingAnswers_data();
    void theLocalServiceIsStartedWhenNothingAnswers();
};

void tst_LocalServiceStarter::theLocalServiceIsStartedWhenNothingAnswers_data() {
    QTest::addColumn<QString>("baseURL");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<bool>("refusedFirst");
    QTest::addColumn<double>("comesUpAfter"); // < 0: never
    QTest::addColumn<QStringList>("launchedWith");
    QTest::addColumn<bool>("answers");

    const QString local = QStringLiteral("http://127.0.0.1:47321");
    const QStringList listen{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:47321")};
    QTest::newRow("already running") << local << true << false << 0.0 << QStringList() << true;
    QTest::newRow("started and up in 2 s") << local << true << true << 2.0 << listen << true;
    QTest::newRow("started, never up") << local << true << true << -1.0 << listen << false;
    QTest::newRow("localhost on its own port")
        << QStringLiteral("http://localhost:9000") << true << true << 0.5
        << QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:9000")} << true;
    QTest::newRow("IPv6 loopback") << QStringLiteral("http://[::1]:9000") << true << true << 0.5
                                   << QStringList{QStringLiteral("--listen"), QStringLiteral("[::1]:9000")}
                                   << true;
    QTest::newRow("not installed") << local << false << true << 0.5 << QStringList() << false;
    QTest::newRow("a service elsewhere is only asked")
        << QStringLiteral("https://dictation.example.com") << true << true << 0.5 << QStringList() << false;
}

void tst_LocalServiceStarter::theLocalServiceIsStartedWhenNothingAnswers() {
    QFETCH(QString, baseURL);
    QFETCH(bool, installed);
    QFETCH(bool, refusedFirst);
    QFETCH(double, comesUpAfter);
    QFETCH(QStringList, launchedWith);
    QFETCH(bool, answers);

    QTemporaryDir folder;
    const QString program = folder.filePath(QStringLiteral("orlavo-server"));
    if (installed) {
        QFile file(program);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    }
    DictationRig rig;
    const Result<PTTHealthResponse> healthy = rig.backend.healthAnswer;
    if (refusedFirst) {
        rig.backend.healthAnswer = refused;
    }
    LocalServiceStarter starter(rig.backend, rig.processLauncher, rig.scheduler,
                                [baseURL] { return baseURL; }, {program, 15, 0.25});
    if (comesUpAfter >= 0) {
        rig.scheduler.after(comesUpAfter, [&rig, healthy] { rig.backend.healthAnswer = healthy; });
    }
    std::optional<Result<void>> outcome;
    auto task = [&]() -> QCoro::Task<> { outcome = co_await starter.ensureRunning(); }();
    rig.scheduler.advance(comesUpAfter >= 0 ? comesUpAfter + 0.5 : 60);
    QVERIFY(outcome.has_value());
    QCOMPARE(outcome->ok(), answers);
    if (!answers) {
        QCOMPARE(outcome->error(), refused);
    }
    QCOMPARE(rig.processLauncher.calls.size(), launchedWith.isEmpty() ? 0 : 1);
    if (!launchedWith.isEmpty()) {
        QCOMPARE(rig.processLauncher.calls[0].program, program);
        QCOMPARE(rig.processLauncher.calls[0].arguments, launchedWith);
        QVERIFY(rig.processLauncher.calls[0].detached);
    }
    // The wait is bounded: a service that never comes up is given up on after the time-out.
    QVERIFY(rig.backend.healthChecks <= 1 + 15 / 0.25);
}

QTEST_GUILESS_MAIN(tst_LocalServiceStarter)
#include "tst_LocalServiceStarter.moc"
