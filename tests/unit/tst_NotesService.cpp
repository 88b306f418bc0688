#include "TemporaryEnvironment.h"
#include "VirtualClock.h"
#include "core/common/ErrorDomain.h"
#include "core/files/FileBookmark.h"
#include "core/notes/NotesService.h"
#include "core/paths/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QDateTime utc(int day, int hour, int minute) {
    return QDateTime(QDate(2026, 1, day), QTime(hour, minute), Qt::UTC);
}

const QByteArray todaysHeading = "## Thursday, January 15, 2026";

} // namespace

// The notes journal and the bookmark that finds it again.
class tst_NotesService : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { m_clock.setNow(utc(15, 12, 0)); }
    void journalGrowsDayByDay();
    void localizedStamps();
    void existingFiles_data();
    void existingFiles();
    void bookmarkFollowsTheFile();
    void failuresLeaveTheJournalAsItWas();

private:
    VirtualClock m_clock{utc(15, 12, 0)};
    NotesService m_notes{m_clock, u"en_US"_s, u"UTC"_s};
};

void tst_NotesService::journalGrowsDayByDay() {
    TemporaryEnvironment environment;
    environment.set("HOME", environment.path().toUtf8());
    const QString path = m_notes.defaultNotesPath().value();
    QCOMPARE(path, AppPaths::documentsDirectory() + u"/PTT-Notes.md"_s);
    QVERIFY(path.startsWith(environment.path()));

    QByteArray expected = "# PTT Voice Notes\n\n\n" + todaysHeading + "\n\n- **12:00** — first note\n";
    QCOMPARE(m_notes.saveNote(u"first note"_s, std::nullopt).value(),
             (NoteSaveResult{QUrl::fromLocalFile(path), 1}));
    QCOMPARE(TemporaryEnvironment::read(path), expected);

    m_clock.setNow(utc(15, 18, 45));
    QCOMPARE(m_notes.saveNote(u"same day"_s, std::nullopt).value().totalNotes, 2);
    expected += "- **18:45** — same day\n";
    QCOMPARE(TemporaryEnvironment::read(path), expected);

    // A dictated line that starts like an entry counts as one.
    m_clock.setNow(utc(16, 7, 5));
    QCOMPARE(m_notes.saveNote(u"next day\n- **not** a note"_s, std::nullopt).value().totalNotes, 4);
    expected += "\n## Friday, January 16, 2026\n\n- **07:05** — next day\n- **not** a note\n";
    QCOMPARE(TemporaryEnvironment::read(path), expected);
}

void tst_NotesService::localizedStamps() {
    const NotesService spanish(m_clock, u"es_ES"_s, u"Europe/Madrid"_s);
    // 23:30 UTC is already the next day in Madrid.
    QCOMPARE(spanish.dayHeading(utc(15, 23, 30)), u"## viernes, 16 de enero de 2026"_s);
    QCOMPARE(spanish.timeOfDay(utc(15, 23, 30)), u"0:30"_s);
    const NotesService american(m_clock, u"en_US"_s, u"America/New_York"_s);
    QCOMPARE(american.dayHeading(utc(15, 22, 15)), u"## Thursday, January 15, 2026"_s);
    QCOMPARE(american.timeOfDay(utc(15, 22, 15)), u"17:15"_s);
}

void tst_NotesService::existingFiles_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<int>("total");
    QTest::newRow("no final line feed, new heading")
        << QByteArray("my notes") << "my notes\n" + todaysHeading + "\n\n- **12:00** — x\n"
        << 1;
    QTest::newRow("no final line feed, heading exists")
        << todaysHeading + "\n\n- **11:00** — a" << todaysHeading + "\n\n- **11:00** — a\n- **12:00** — x\n"
        << 2;
    QTest::newRow("invalid UTF-8 kept byte for byte")
        << QByteArray("\xff notes\n") << "\xff notes\n\n" + todaysHeading + "\n\n- **12:00** — x\n"
        << 1;
    QTest::newRow("an empty file starts a journal")
        << QByteArray() << "# PTT Voice Notes\n\n\n" + todaysHeading + "\n\n- **12:00** — x\n"
        << 1;
}

void tst_NotesService::existingFiles() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(int, total);
    TemporaryEnvironment environment;
    const QString path = environment.write(u"chosen.md"_s, before);
    QCOMPARE(m_notes.saveNote(u"x"_s, FileBookmark::create(path).value()).value().totalNotes, total);
    QCOMPARE(TemporaryEnvironment::read(path), after);
}

void tst_NotesService::bookmarkFollowsTheFile() {
    TemporaryEnvironment environment;
    const QString folder = environment.filePath(u"journal"_s);
    const QByteArray bookmark =
        FileBookmark::create(environment.write(u"journal/notes.md"_s, "kept\n")).value();

    QVERIFY(QFile::rename(folder + u"/notes.md"_s, folder + u"/renamed.md"_s));
    QCOMPARE(m_notes.saveNote(u"moved"_s, bookmark).value().url,
             QUrl::fromLocalFile(folder + u"/renamed.md"_s));
    QCOMPARE(TemporaryEnvironment::read(folder + u"/renamed.md"_s),
             "kept\n\n" + todaysHeading + "\n\n- **12:00** — moved\n");
    QVERIFY(!QFile::exists(folder + u"/notes.md"_s));
    // A file at the old path again (an editor's atomic save makes a new inode) wins.
    environment.write(u"journal/notes.md"_s, {});
    QCOMPARE(FileBookmark::resolve(bookmark).value(), folder + u"/notes.md"_s);

    // Its folder gone, the bookmark fails and nothing is created.
    QVERIFY(QDir(folder).removeRecursively());
    const auto failed = m_notes.saveNote(u"lost"_s, bookmark);
    QVERIFY(!failed.ok());
    QCOMPARE(failed.error().domain, ErrorDomain::file);
    QVERIFY(!QFileInfo::exists(folder));

    QVERIFY(!FileBookmark::create(u"relative/path.md"_s).ok());
    for (const QByteArray& damaged :
         {QByteArray("not a bookmark"), QByteArray(R"({"path":"relative.md"})")}) {
        QVERIFY2(!FileBookmark::resolve(damaged).ok(), damaged.constData());
    }
}

void tst_NotesService::failuresLeaveTheJournalAsItWas() {
    TemporaryEnvironment environment;
    // The folder cannot be created (a file stands there), or the journal path is a folder.
    const QString blocker = environment.write(u"blocker"_s, "not a folder");
    QVERIFY(!m_notes.saveNote(u"x"_s, FileBookmark::create(blocker + u"/notes.md"_s).value()).ok());
    QCOMPARE(TemporaryEnvironment::read(blocker), QByteArray("not a folder"));
    QVERIFY(QDir().mkpath(environment.filePath(u"folder.md"_s)));
    QVERIFY(
        !m_notes.saveNote(u"x"_s, FileBookmark::create(environment.filePath(u"folder.md"_s)).value()).ok());

    // A write that fails part-way, as on a full disk, is taken back whole.
    const QByteArray journal = todaysHeading + "\n\n- **11:00** — a\n";
    const QString path = environment.write(u"journal.md"_s, journal);
    const QByteArray bookmark = FileBookmark::create(path).value();
    rlimit previous{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit small = previous;
    small.rlim_cur = static_cast<rlim_t>(journal.size() + 10);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto failed = m_notes.saveNote(QString(200, u'z'), bookmark);
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    QVERIFY(!failed.ok());
    QCOMPARE(failed.error().domain, ErrorDomain::file);
    QCOMPARE(TemporaryEnvironment::read(path), journal);
    QVERIFY(m_notes.saveNote(u"fits"_s, bookmark).ok());
    QCOMPARE(TemporaryEnvironment::read(path), journal + "- **12:00** — fits\n");

    // A journal the user made read-only is not replaced behind their back (root may write anyway).
    if (::geteuid() != 0) {
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
        QVERIFY(!m_notes.saveNote(u"x"_s, bookmark).ok());
        QCOMPARE(TemporaryEnvironment::read(path), journal + "- **12:00** — fits\n");
    }
}

QTEST_GUILESS_MAIN(tst_NotesService)
#include "tst_NotesService.moc"
