#include "VirtualClock.h"
#include "storage/LocalDatabase.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
};

QByteArray fingerprint(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256) +
           QByteArray::number(QFileInfo(path).lastModified().toMSecsSinceEpoch());
}

} // namespace

// `orlavo text` as users run it: a separate process, a real database file in its data folder and
// no display.
class tst_TextCommand : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void transcripts_data();
    void transcripts();
    void withoutDatabase();
    void unreadableDatabase();

private:
    Run run(const QStringList& arguments, const QByteArray& input, const QString& dataHome) const;
    QString databaseFolder() const { return m_dataHome.filePath(QStringLiteral("Kestrov")); }

    QString m_binary;
    QTemporaryDir m_dataHome;
};

void tst_TextCommand::initTestCase() {
    m_binary = qEnvironmentVariable("ORLAVO_BINARY");
    QVERIFY2(QFileInfo(m_binary).isExecutable(), "ORLAVO_BINARY must name the orlavo program");
    VirtualClock clock;
    QVERIFY(QDir().mkpath(databaseFolder()));
    LocalDatabase database(clock, databaseFolder() + QStringLiteral("/ptt.sqlite"));
    QVERIFY(database.bootstrap().ok());
    QVERIFY(database.saveDictionaryEntry(QStringLiteral("chat gpt"), QStringLiteral("ChatGPT"), true).ok());
    QVERIFY(database.saveDictionaryEntry(QStringLiteral("usd"), QStringLiteral("US$"), true).ok());
    QVERIFY(database.saveSnippet(QStringLiteral("my email"), QStringLiteral("ana@example.com")).ok());
}

Run tst_TextCommand::run(const QStringList& arguments, const QByteArray& input,
                         const QString& dataHome) const {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(display));
    }
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    process.setProcessEnvironment(environment);
    process.start(m_binary, QStringList{QStringLiteral("text")} + arguments);
    if (!process.waitForStarted()) {
        return {};
    }
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return Run{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
               process.readAllStandardOutput(), process.readAllStandardError()};
}

void tst_TextCommand::transcripts_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("output");

    QTest::newRow("spoken punctuation")
        << QStringList() << QByteArray("hello comma world period\n") << 0 << QByteArray("Hello, world.\n");
    QTest::newRow("dictionary and fillers") << QStringList() << QByteArray("um I asked chat gpt for usd 5")
                                            << 0 << QByteArray("I asked ChatGPT for US$ 5\n");
    QTest::newRow("snippet") << QStringList{QStringLiteral("--app"), QStringLiteral("Slack")}
                             << QByteArray("  Por favor escribe mi correo.  ") << 0
                             << QByteArray("ana@example.com\n");
    QTest::newRow("spanish") << QStringList{QStringLiteral("--lang"), QStringLiteral("es")}
                             << QByteArray("hola punto y coma adiós") << 0 << QByteArray("Hola; adiós\n");
    QTest::newRow("chat formatting") << QStringList{QStringLiteral("--app"), QStringLiteral("Slack")}
                                     << QByteArray("sounds good period") << 0 << QByteArray("sounds good\n");
    QTest::newRow("mail formatting") << QStringList{QStringLiteral("--lang"), QStringLiteral("en"),
                                                    QStringLiteral("--app"), QStringLiteral("thunderbird")}
                                     << QByteArray("see you tomorrow") << 0
                                     << QByteArray("See you tomorrow.\n");
    QTest::newRow("empty input") << QStringList() << QByteArray() << 0 << QByteArray("\n");
    QTest::newRow("invalid UTF-8") << QStringList() << QByteArray("caf\xe9 period") << 0
                                   << QByteArray("Caf\xef\xbf\xbd.\n");
    QTest::newRow("unknown language") << QStringList{QStringLiteral("--lang"), QStringLiteral("fr")}
                                      << QByteArray("hola") << 2 << QByteArray();
    QTest::newRow("missing value") << QStringList{QStringLiteral("--app")} << QByteArray("x") << 2
                                   << QByteArray();
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--loud")} << QByteArray("x") << 2
                                    << QByteArray();
}

void tst_TextCommand::transcripts() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, output);
    const QString database = databaseFolder() + QStringLiteral("/ptt.sqlite");
    const QByteArray before = fingerprint(database);
    const QStringList filesBefore = QDir(databaseFolder()).entryList(QDir::Files);

    const Run result = run(arguments, input, m_dataHome.path());
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(result.output, output);
    if (exitCode != 0) {
        QVERIFY(!result.errors.isEmpty());
    }
    // Read-only: the file is untouched and no journal or lock file was left beside it.
    QCOMPARE(fingerprint(database), before);
    QCOMPARE(QDir(databaseFolder()).entryList(QDir::Files), filesBefore);
}

void tst_TextCommand::withoutDatabase() {
    QTemporaryDir emptyHome;
    const Run result = run({}, QByteArray("insert my email"), emptyHome.path());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.output, QByteArray("Insert my email\n"));
    QVERIFY(QDir(emptyHome.path()).isEmpty());
}

void tst_TextCommand::unreadableDatabase() {
    QTemporaryDir home;
    QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("Kestrov"))));
    QFile file(home.filePath(QStringLiteral("Kestrov/ptt.sqlite")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    const Run result = run({}, QByteArray("hello"), home.path());
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.output, QByteArray());
    QVERIFY(result.errors.contains("ptt.sqlite"));
}

QTEST_GUILESS_MAIN(tst_TextCommand)
#include "tst_TextCommand.moc"
