#include "LoopbackHttpServer.h"
#include "TemporaryEnvironment.h"
#include "paths/AppPaths.h"
#include "settings/JsonFileKeyValueStore.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTest>
#include <QtEndian>

#include <cmath>

namespace {

// 16 kHz mono 16-bit PCM: a tone of the given amplitude (0 for silence).
QByteArray wavFile(double seconds, double amplitude) {
    const int rate = 16000;
    const auto samples = static_cast<qsizetype>(seconds * rate);
    QByteArray data(samples * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < samples; ++i) {
        const auto value =
            static_cast<qint16>(amplitude * std::sin(2.0 * M_PI * 220.0 * static_cast<double>(i) / rate));
        qToLittleEndian(value, data.data() + 2 * i);
    }
    QByteArray header(44, '\0');
    auto put32 = [&header](int at, quint32 value) { qToLittleEndian(value, header.data() + at); };
    auto put16 = [&header](int at, quint16 value) { qToLittleEndian(value, header.data() + at); };
    header.replace(0, 4, "RIFF");
    put32(4, static_cast<quint32>(36 + data.size()));
    header.replace(8, 8, "WAVEfmt ");
    put32(16, 16);
    put16(20, 1);
    put16(22, 1);
    put32(24, rate);
    put32(28, rate * 2);
    put16(32, 2);
    put16(34, 16);
    header.replace(36, 4, "data");
    put32(40, static_cast<quint32>(data.size()));
    return header + data;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run runOrlavo(const QStringList& arguments) {
    QProcess process;
    process.start(qEnvironmentVariable("ORLAVO_BINARY"), arguments);
    Run run;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

const std::string transcribePath = "/v1/ptt/transcribe";
const std::string editPath = "/v1/ptt/edit";

} // namespace

class tst_TranscribeCommand : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fileThroughThePipeline_data();
    void fileThroughThePipeline();
    void unusableInput();
};

void tst_TranscribeCommand::fileThroughThePipeline_data() {
    QTest::addColumn<double>("amplitude");
    QTest::addColumn<bool>("reachable");
    QTest::addColumn<int>("firstStatus");
    QTest::addColumn<std::string>("firstBody");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::addColumn<int>("uploads");

    const std::string words = R"({"text":"  so we ship friday \n","language":"en","requestId":"t1"})";
    // The polished answer in Slack's chat style: no final full stop, a lower-case start.
    QTest::newRow("delivered") << 8000.0 << true << 200 << words << 0 << "we ship Friday\n"
                               << "" << 1;
    QTest::newRow("retried once") << 8000.0 << true << 503 << std::string("503 upstream busy") << 0
                                  << "we ship Friday\n"
                                  << "" << 2;
    QTest::newRow("refused token") << 8000.0 << true << 401 << std::string("401 invalid token") << 1 << ""
                                   << "Account issue \u2014 check Settings\n401 invalid token\n"
                                   << 1;
    QTest::newRow("not the expected answer")
        << 8000.0 << true << 200 << std::string("<html>proxy login</html>") << 1 << ""
        << "Try again\nThe data couldn’t be read because it isn’t in the correct format.\n"
        << 1;
    QTest::newRow("silence") << 0.0 << true << 200 << words << 1 << ""
                             << "No speech detected\nNo speech detected\n"
                             << 0;
    QTest::newRow("no service") << 8000.0 << false << 200 << words << 1 << ""
                                << "No connection\nCould not connect to the server.\n"
                                << 0;
}

void tst_TranscribeCommand::fileThroughThePipeline() {
    QFETCH(double, amplitude);
    QFETCH(bool, reachable);
    QFETCH(int, firstStatus);
    QFETCH(std::string, firstBody);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(int, uploads);

    TemporaryEnvironment environment;
    LoopbackHttpServer server;
    const std::string words = R"({"text":"  so we ship friday \n","language":"en","requestId":"t1"})";
    server.script(transcribePath, {{firstStatus, firstBody}, {200, words}});
    server.script(editPath, {{200, R"({"text":"We ship Friday.","requestId":"e1"})"}});

    quint16 closedPort = 0;
    {
        QTcpServer unused;
        QVERIFY(unused.listen(QHostAddress::LocalHost));
        closedPort = unused.serverPort();
    }
    {
        JsonFileKeyValueStore defaults(AppPaths::defaultsFile());
        SettingsStore store(defaults);
        PTTSettings settings = PTTSettings::makeDefault();
        settings.backendBaseURL =
            reachable ? server.baseURL() : QStringLiteral("http://127.0.0.1:%1").arg(closedPort);
        settings.polishLevel = PolishLevel::light;
        settings.noteMode = true; // the command prints, whatever the user's mode
        store.save(settings);
        store.markSetupCompleted();
    }
    writeFile(AppPaths::serverTokenFile(), "server-secret\n");
    const QByteArray settingsBefore = readFile(AppPaths::defaultsFile());
    const QString wavPath = environment.filePath(QStringLiteral("take 1.wav"));
    const QByteArray wav = wavFile(1.0, amplitude);
    writeFile(wavPath, wav);

    const Run run =
        runOrlavo({QStringLiteral("transcribe"), wavPath, QStringLiteral("--app"), QStringLiteral("Slack")});
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.out, out);
    QCOMPARE(run.err, err);

    const auto seenUploads = server.seen(transcribePath);
    QCOMPARE(int(seenUploads.size()), uploads);
    for (const auto& upload : seenUploads) {
        QCOMPARE(QByteArray::fromStdString(upload.body), wav);
        QCOMPARE(upload.header("Authorization"), std::optional<std::string>("Bearer server-secret"));
    }
    if (exitCode == 0) {
        const auto edits = server.seen(editPath);
        QCOMPARE(edits.size(), std::size_t(1));
        const std::string expected =
            R"({"mode":"self_correction","inputText":"So we ship friday","sourceApp":"Slack","polishLevel":"light"})";
        QCOMPARE(edits.front().body, expected);
    }
    // Nothing of the user's is changed: settings, statistics, notes.
    QCOMPARE(readFile(AppPaths::defaultsFile()), settingsBefore);
    QVERIFY(!QFile::exists(AppPaths::databaseFile()));
    QVERIFY(!QFile::exists(AppPaths::documentsDirectory() + QStringLiteral("/PTT-Notes.md")));
}

void tst_TranscribeCommand::unusableInput() {
    TemporaryEnvironment environment;
    const QString text = environment.filePath(QStringLiteral("notes.txt"));
    writeFile(text, "not audio");

    Run run = runOrlavo({QStringLiteral("transcribe"), text});
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.err, QStringLiteral("orlavo: Not a 16-bit PCM WAV file: no RIFF/WAVE header\n"));
    run = runOrlavo({QStringLiteral("transcribe"), environment.filePath(QStringLiteral("missing.wav"))});
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.err.startsWith(QStringLiteral("orlavo: The file ")));
    run = runOrlavo({QStringLiteral("transcribe"), text, QStringLiteral("--app")});
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.err, QStringLiteral("Usage: orlavo transcribe FILE.wav [--app NAME]\n"));
}

QTEST_GUILESS_MAIN(tst_TranscribeCommand)
#include "tst_TranscribeCommand.moc"
