#include "TemporaryEnvironment.h"
#include "VirtualClock.h"
#include "common/ErrorDomain.h"
#include "files/FileBookmark.h"
#include "notes/NotesService.h"
#include "paths/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

QDateTime utc(int day, int hour, int minute) {
    return QDateTime(QDate(2026, 1, day), QTime(hour, minute), Qt::UTC);
}

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& contents) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(contents), contents.size());
}

// Lowers this process's file size limit for one scope, so that a write fails part-way as it would
// on a full disk.
class FileSizeLimit final {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_previous;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = nullptr;
};

} // namespace

class tst_NotesService : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void journalGrowsDayByDay();
    void localizedStamps_data();
    void localizedStamps();
    void existingFileWithoutFinalLineFeed_data();
    void existingFileWithoutFinalLineFeed();
    void bookmarkedFileMovedOrGone();
    void failuresLeaveTheJournalAsItWas();
};

void tst_NotesService::journalGrowsDayByDay() {
    TemporaryEnvironment environment;
    environment.set("HOME", environment.path().toUtf8());
    VirtualClock clock(utc(15, 12, 0));
    NotesService notes(clock, QStringLiteral("en_US"), QStringLiteral("UTC"));

    const auto defaultPath = notes.defaultNotesPath();
    QVERIFY(defaultPath.ok());
    QCOMPARE(defaultPath.value(), AppPaths::documentsDirectory() + QStringLiteral("/PTT-Notes.md"));
    QVERIFY(defaultPath.value().startsWith(environment.path()));

    QByteArray expected =
        "# PTT Voice Notes\n\n\n## Thursday, January 15, 2026\n\n- **12:00** — first note\n";
    auto saved = notes.saveNote(QStringLiteral("first note"), std::nullopt);
    QVERIFY(saved.ok());
    QCOMPARE(saved.value(), (NoteSaveResult{QUrl::fromLocalFile(defaultPath.value()), 1}));
    QCOMPARE(contentsOf(defaultPath.value()), expected);

    clock.setNow(utc(15, 18, 45));
    saved = notes.saveNote(QStringLiteral("second, same day"), std::nullopt);
    QVERIFY(saved.ok());
    QCOMPARE(saved.value().totalNotes, 2);
    expected += "- **18:45** — second, same day\n";
    QCOMPARE(contentsOf(defaultPath.value()), expected);

    clock.setNow(utc(16, 7, 5));
    saved = notes.saveNote(QStringLiteral("next day\n- **not** a note, but counted"), std::nullopt);
    QVERIFY(saved.ok());
    QCOMPARE(saved.value().totalNotes, 4);
    expected += "\n## Friday, January 16, 2026\n\n- **07:05** — next day\n- **not** a note, but counted\n";
    QCOMPARE(contentsOf(defaultPath.value()), expected);
}

void tst_NotesService::localizedStamps_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("zone");
    QTest::addColumn<QDateTime>("moment");
    QTest::addColumn<QString>("heading");
    QTest::addColumn<QString>("time");

    QTest::newRow("english") << QStringLiteral("en_US") << QStringLiteral("UTC") << utc(15, 9, 7)
                             << QStringLiteral("## Thursday, January 15, 2026") << QStringLiteral("09:07");
    QTest::newRow("spanish, local day after midnight")
        << QStringLiteral("es_ES") << QStringLiteral("Europe/Madrid") << utc(15, 23, 30)
        << QStringLiteral("## viernes, 16 de enero de 2026") << QStringLiteral("0:30");
    QTest::newRow("24-hour clock in a 12-hour locale")
        << QStringLiteral("en_US") << QStringLiteral("America/New_York") << utc(15, 22, 15)
        << QStringLiteral("## Thursday, January 15, 2026") << QStringLiteral("17:15");
}

void tst_NotesService::localizedStamps() {
    QFETCH(QString, locale);
    QFETCH(QString, zone);
    QFETCH(QDateTime, moment);
    QFETCH(QString, heading);
    QFETCH(QString, time);
    VirtualClock clock;
    const NotesService notes(clock, locale, zone);
    QCOMPARE(notes.dayHeading(moment), heading);
    QCOMPARE(notes.timeOfDay(moment), time);
}

void tst_NotesService::existingFileWithoutFinalLineFeed_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<int>("total");

    QTest::newRow("today's heading is new")
        << QByteArray("my own notes")
        << QByteArray("my own notes\n## Thursday, January 15, 2026\n\n- **12:00** — x\n") << 1;
    QTest::newRow("today's heading exists")
        << QByteArray("## Thursday, January 15, 2026\n\n- **11:00** — a")
        << QByteArray("## Thursday, January 15, 2026\n\n- **11:00** — a\n- **12:00** — x\n") << 2;
    QTest::newRow("invalid UTF-8 is kept byte for byte")
        << QByteArray("\xff\xfe notes\n")
        << QByteArray("\xff\xfe notes\n\n## Thursday, January 15, 2026\n\n- **12:00** — x\n") << 1;
    QTest::newRow("an empty file starts a journal")
        << QByteArray()
        << QByteArray("# PTT Voice Notes\n\n\n## Thursday, January 15, 2026\n\n- **12:00** — x\n") << 1;
}

void tst_NotesService::existingFileWithoutFinalLineFeed() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(int, total);
    TemporaryEnvironment environment;
    const QString path = environment.filePath(QStringLiteral("chosen.md"));
    writeFile(path, before);
    VirtualClock clock(utc(15, 12, 0));
    NotesService notes(clock, QStringLiteral("en_US"), QStringLiteral("UTC"));
    const auto saved = notes.saveNote(QStringLiteral("x"), FileBookmark::create(path).value());
    QVERIFY(saved.ok());
    QCOMPARE(saved.value().totalNotes, total);
    QCOMPARE(contentsOf(path), after);
}

void tst_NotesService::bookmarkedFileMovedOrGone() {
    TemporaryEnvironment environment;
    VirtualClock clock(utc(15, 12, 0));
    NotesService notes(clock, QStringLiteral("en_US"), QStringLiteral("UTC"));
    const QString folder = environment.filePath(QStringLiteral("journal"));
    QVERIFY(QDir().mkpath(folder));
    const QString original = folder + QStringLiteral("/notes.md");
    writeFile(original, "kept\n");
    const QByteArray bookmark = FileBookmark::create(original).value();

    const QString renamed = folder + QStringLiteral("/renamed.md");
    QVERIFY(QFile::rename(original, renamed));
    const auto saved = notes.saveNote(QStringLiteral("after the move"), bookmark);
    QVERIFY(saved.ok());
    QCOMPARE(saved.value().url, QUrl::fromLocalFile(renamed));
    QVERIFY(contentsOf(renamed).startsWith("kept\n\n## "));
    QVERIFY(!QFile::exists(original));

    QVERIFY(QDir(folder).removeRecursively());
    const auto failed = notes.saveNote(QStringLiteral("lost"), bookmark);
    QVERIFY(!failed.ok());
    QCOMPARE(failed.error().domain, ErrorDomain::file);
    QVERIFY(!QFileInfo::exists(folder));

    const auto damaged = notes.saveNote(QStringLiteral("lost"), QByteArray("not a bookmark"));
    QVERIFY(!damaged.ok());
}

void tst_NotesService::failuresLeaveTheJournalAsItWas() {
    TemporaryEnvironment environment;
    VirtualClock clock(utc(15, 12, 0));
    NotesService notes(clock, QStringLiteral("en_US"), QStringLiteral("UTC"));

    // Its folder cannot be created: a file stands where the folder would be.
    const QString blocker = environment.filePath(QStringLiteral("blocker"));
    writeFile(blocker, "not a folder");
    const auto noFolder =
        notes.saveNote(QStringLiteral("x"), FileBookmark::create(blocker + "/notes.md").value());
    QVERIFY(!noFolder.ok());
    QCOMPARE(contentsOf(blocker), QByteArray("not a folder"));

    // The journal path is a folder.
    const QString folderPath = environment.filePath(QStringLiteral("folder.md"));
    QVERIFY(QDir().mkpath(folderPath));
    QVERIFY(!notes.saveNote(QStringLiteral("x"), FileBookmark::create(folderPath).value()).ok());

    // A write that fails part-way, as on a full disk, is taken back whole.
    const QString path = environment.filePath(QStringLiteral("journal.md"));
    const QByteArray journal = "# PTT Voice Notes\n\n\n## Thursday, January 15, 2026\n\n- **11:00** — a\n";
    writeFile(path, journal);
    const QByteArray bookmark = FileBookmark::create(path).value();
    {
        const FileSizeLimit limit(static_cast<rlim_t>(journal.size() + 10));
        const auto failed = notes.saveNote(QString(200, QLatin1Char('z')), bookmark);
        QVERIFY(!failed.ok());
        QCOMPARE(failed.error().domain, ErrorDomain::file);
    }
    QCOMPARE(contentsOf(path), journal);
    const auto retried = notes.saveNote(QStringLiteral("fits now"), bookmark);
    QVERIFY(retried.ok());
    QCOMPARE(contentsOf(path), journal + "- **12:00** — fits now\n");

    // A journal the user made read-only stays as it is (not enforced for root).
    if (::geteuid() != 0) {
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
        QVERIFY(!notes.saveNote(QStringLiteral("x"), bookmark).ok());
        QCOMPARE(contentsOf(path), journal + "- **12:00** — fits now\n");
    }
}

QTEST_GUILESS_MAIN(tst_NotesService)
#include "tst_NotesService.moc"
