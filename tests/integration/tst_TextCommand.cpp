#include "TemporaryEnvironment.h"
#include "VirtualClock.h"
#include "core/storage/LocalDatabase.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Run {
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
};

// What changes when anything writes to the folder: each file's bytes and modification time.
QByteArray folderState(const QString& folder) {
    QByteArray state;
    for (const QFileInfo& entry : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden)) {
        state += entry.fileName().toUtf8() + QByteArray::number(entry.lastModified().toMSecsSinceEpoch()) +
                 QCryptographicHash::hash(TemporaryEnvironment::read(entry.filePath()),
                                          QCryptographicHash::Sha256);
    }
    return state;
}

Run runText(const QStringList& arguments, const QByteArray& input, const QString& dataHome) {
    QProcess process;
    // No display: the command must not need one.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"DISPLAY"_s);
    environment.remove(u"WAYLAND_DISPLAY"_s);
    environment.remove(u"QT_QPA_PLATFORM"_s);
    environment.insert(u"XDG_DATA_HOME"_s, dataHome);
    process.setProcessEnvironment(environment);
    process.start(qEnvironmentVariable("ORLAVO_BINARY"), QStringList{u"text"_s} + arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        return {};
    }
    return Run{process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

} // namespace

// `orlavo text` as users run it: its own process, reading the real database file in its data folder.
class tst_TextCommand : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void transcripts_data();
    void transcripts();
    void missingOrDamagedDatabase();

private:
    QTemporaryDir m_dataHome;
};

void tst_TextCommand::initTestCase() {
    QVERIFY2(QFileInfo(qEnvironmentVariable("ORLAVO_BINARY")).isExecutable(),
             "ORLAVO_BINARY names the program");
    VirtualClock clock;
    LocalDatabase database(clock, m_dataHome.filePath(u"Kestrov/ptt.sqlite"_s));
    QVERIFY(database.bootstrap().ok());
    QVERIFY(database.saveDictionaryEntry(u"chat gpt"_s, u"ChatGPT"_s, true).ok());
    QVERIFY(database.saveSnippet(u"my email"_s, u"ana@example.com"_s).ok());
}

void tst_TextCommand::transcripts_data() {
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("output");
    QTest::newRow("dictionary, fillers, punctuation")
        << QString() << QByteArray("um I asked chat gpt comma then left period\n") << 0
        << QByteArray("I asked ChatGPT, then left.\n");
    QTest::newRow("snippet, as it stands") << "--app Slack" << QByteArray("  Por favor escribe mi correo.  ")
                                           << 0 << QByteArray("ana@example.com\n");
    QTest::newRow("mail formatting") << "--lang en --app thunderbird" << QByteArray("see you tomorrow") << 0
                                     << QByteArray("See you tomorrow.\n");
    QTest::newRow("empty input") << QString() << QByteArray() << 0 << QByteArray("\n");
    QTest::newRow("invalid UTF-8") << QString() << QByteArray("caf\xe9 period") << 0
                                   << QByteArray("Caf\xef\xbf\xbd.\n");
    QTest::newRow("unknown language") << "--lang fr" << QByteArray("x") << 2 << QByteArray();
}

void tst_TextCommand::transcripts() {
    QFETCH(QString, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, output);
    const QString folder = m_dataHome.filePath(u"Kestrov"_s);
    const QByteArray before = folderState(folder);
    const Run result = runText(arguments.split(u' ', Qt::SkipEmptyParts), input, m_dataHome.path());
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(result.output, output);
    QCOMPARE(result.errors.isEmpty(), exitCode == 0);
    // Read-only: the database is untouched and no journal or lock file is left beside it.
    QCOMPARE(folderState(folder), before);
}

void tst_TextCommand::missingOrDamagedDatabase() {
    QTemporaryDir home;
    const Run fresh = runText({}, QByteArray("insert my email"), home.path());
    QCOMPARE(fresh.exitCode, 0);
    QCOMPARE(fresh.output, QByteArray("Insert my email\n"));
    QVERIFY(QDir(home.path()).isEmpty());

    QVERIFY(QDir().mkpath(home.filePath(u"Kestrov"_s)));
    QFile damaged(home.filePath(u"Kestrov/ptt.sqlite"_s));
    QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write(QByteArray(4096, 'x')) == 4096);
    damaged.close();
    const Run failed = runText({}, QByteArray("hello"), home.path());
    QCOMPARE(failed.exitCode, 1);
    QCOMPARE(failed.output, QByteArray());
    QVERIFY(failed.errors.contains("ptt.sqlite"));
}

QTEST_GUILESS_MAIN(tst_TextCommand)
#include "tst_TextCommand.moc"
