#include "LoopbackHttpServer.h"
#include "ServerProcess.h"
#include "SpeechCorpus.h"
#include "TemporaryEnvironment.h"
#include "TestWav.h"
#include "core/backend/BackendToken.h"
#include "core/paths/AppPaths.h"
#include "core/settings/JsonFileKeyValueStore.h"
#include "core/settings/SettingsStore.h"
#include "server/wav/WavEncoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// The exit code, standard output and standard error of `orlavo ARGUMENTS`, run with the event loop
// turning so that the loopback service can answer.
QStringList runOrlavo(const QStringList& arguments) {
    QProcess process;
    process.start(qEnvironmentVariable("ORLAVO_BINARY"), arguments);
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 30000)) {
        process.kill();
        process.waitForFinished();
        return {"did not finish"};
    }
    return {QString::number(process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1),
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// Settings that send dictations to the service at `port`, with its token, and print them.
void useService(const TemporaryEnvironment& environment, int port, const QByteArray& token,
                PolishLevel polish) {
    JsonFileKeyValueStore defaults(AppPaths::defaultsFile());
    SettingsStore store(defaults);
    PTTSettings settings = PTTSettings::makeDefault();
    settings.backendBaseURL = QStringLiteral("http://127.0.0.1:%1").arg(port);
    settings.polishLevel = polish;
    settings.noteMode = true; // the command prints, whatever the user's mode
    store.save(settings);
    store.markSetupCompleted();
    environment.write(AppPaths::serverTokenFile(), token + '\n');
    environment.write(BackendToken::serverAddressFile(AppPaths::serverTokenFile()),
                      "127.0.0.1:" + QByteArray::number(port) + "\n");
}

const QByteArray words = R"({"text":"  so we ship friday \n","language":"en","requestId":"t1"})";

} // namespace

class tst_TranscribeCommand : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fileThroughThePipeline_data();
    void fileThroughThePipeline();
    void unusableInput();
    void spokenDictationOffline();
};

void tst_TranscribeCommand::fileThroughThePipeline_data() {
    QTest::addColumn<qint16>("amplitude");
    QTest::addColumn<bool>("reachable");
    QTest::addColumn<int>("firstStatus");
    QTest::addColumn<QByteArray>("firstBody");
    QTest::addColumn<QStringList>("run"); // exit code, standard output, standard error
    QTest::addColumn<int>("uploads");

    // The polished answer in Slack's chat style: no final full stop, a lower-case start.
    const QStringList delivered{"0", "we ship Friday\n", ""};
    const auto failed = [](const QString& message) { return QStringList{"1", "", message}; };
    QTest::newRow("delivered") << qint16(8000) << true << 200 << words << delivered << 1;
    QTest::newRow("retried once") << qint16(8000) << true << 503 << QByteArray("503 upstream busy")
                                  << delivered << 2;
    QTest::newRow("not the expected answer")
        << qint16(8000) << true << 200 << QByteArray("<html>proxy login</html>")
        << failed("Try again\nThe data couldn’t be read because it isn’t in the correct format.\n") << 1;
    QTest::newRow("silence") << qint16(0) << true << 200 << words
                             << failed("No speech detected\nNo speech detected\n") << 0;
    QTest::newRow("no service") << qint16(8000) << false << 200 << words
                                << failed("No connection\nCould not connect to the server.\n") << 0;
}

void tst_TranscribeCommand::fileThroughThePipeline() {
    QFETCH(qint16, amplitude);
    QFETCH(bool, reachable);
    QFETCH(int, firstStatus);
    QFETCH(QByteArray, firstBody);
    QFETCH(QStringList, run);
    QFETCH(int, uploads);

    TemporaryEnvironment environment;
    LoopbackHttpServer server;
    server.route("/v1/ptt/transcribe", {{firstStatus, firstBody}, {200, words}});
    server.route("/v1/ptt/edit", {{200, R"({"text":"We ship Friday.","requestId":"e1"})"}});
    useService(environment, server.port(), "server-secret", PolishLevel::light);
    if (!reachable) {
        server.stop();
    }
    const QByteArray settingsBefore = TemporaryEnvironment::read(AppPaths::defaultsFile());
    const QByteArray wav = TestWav::mono16k(1.0, amplitude);
    const QString wavPath = environment.write("take 1.wav", wav);

    QCOMPARE(runOrlavo({"transcribe", wavPath, "--app", "Slack"}), run);
    const auto seenUploads = server.requestsTo("/v1/ptt/transcribe");
    QCOMPARE(seenUploads.size(), uploads);
    for (const auto& upload : seenUploads) {
        QCOMPARE(upload.body, wav);
        QCOMPARE(upload.headers.value("authorization"), "Bearer server-secret");
    }
    if (run.front() == "0") {
        const auto edits = server.requestsTo("/v1/ptt/edit");
        QCOMPARE(edits.size(), 1);
        const QByteArray expected =
            R"({"mode":"self_correction","inputText":"So we ship friday","sourceApp":"Slack","polishLevel":"light"})";
        QCOMPARE(edits.front().body, expected);
    }
    // Nothing of the user's is changed: settings, statistics, notes.
    QCOMPARE(TemporaryEnvironment::read(AppPaths::defaultsFile()), settingsBefore);
    QVERIFY(!QFile::exists(AppPaths::databaseFile()));
    QVERIFY(!QFile::exists(AppPaths::documentsDirectory() + "/PTT-Notes.md"));
}

void tst_TranscribeCommand::unusableInput() {
    TemporaryEnvironment environment;
    const QString text = environment.write("notes.txt", "not audio");

    QCOMPARE(runOrlavo({"transcribe", text}),
             QStringList({"2", "", "orlavo: Not a 16-bit PCM WAV file: no RIFF/WAVE header\n"}));
    const QStringList missing = runOrlavo({"transcribe", environment.filePath("missing.wav")});
    QCOMPARE(missing.front(), "2");
    QVERIFY(missing.back().startsWith("orlavo: The file "));
    QCOMPARE(runOrlavo({"transcribe", text, "--app"}),
             QStringList({"2", "", "Usage: orlavo transcribe FILE.wav [--app NAME]\n"}));

    // A damaged settings file is the application's to move aside, not this read-only run's.
    const QByteArray damaged = R"({"ptt.settings.v1": {"data": "{\"backendBase)";
    environment.write(AppPaths::defaultsFile(), damaged);
    const QString silence = environment.write("silence.wav", TestWav::mono16k(1.0, 0));
    QCOMPARE(runOrlavo({"transcribe", silence}).front(), "1");
    QCOMPARE(TemporaryEnvironment::read(AppPaths::defaultsFile()), damaged);
    QCOMPARE(QFileInfo(AppPaths::defaultsFile()).dir().entryList(QDir::Files), QStringList{"defaults.json"});
}

// Spoken punctuation through the real server's offline recogniser and the text pipeline, with a
// voice that flite made from recordings of a person.
void tst_TranscribeCommand::spokenDictationOffline() {
    TemporaryEnvironment environment;
    ServerProcess service;
    QString failure;
    QVERIFY2(service.start(&failure), qPrintable(failure));
    // A new user's settings: the edit pass the offline server cannot do is left out quietly.
    useService(environment, service.port(), QByteArray::fromStdString(service.token()),
               PTTSettings::makeDefault().polishLevel);
    const AudioClip spoken =
        SpeechCorpus::say(u"hello comma how are you question mark new line thanks period"_s, u"slt"_s, 160,
                          SpeechCorpus::Synthesiser::flite);
    QVERIFY2(!spoken.samples.empty(), "flite and sox make the test speech");
    const QString wavPath =
        environment.write("dictation.wav", QByteArray::fromStdString(WavEncoder::encode(spoken)));

    QCOMPARE(runOrlavo({"transcribe", wavPath}), QStringList({"0", "Hello, how are you?\nThanks.\n", ""}));
}

QTEST_GUILESS_MAIN(tst_TranscribeCommand)
#include "tst_TranscribeCommand.moc"
