#include "TemporaryEnvironment.h"
#include "VirtualClock.h"
#include "core/common/ErrorDomain.h"
#include "core/paths/AppPaths.h"
#include "core/storage/LocalDatabase.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <sqlite3.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QDateTime utc(int day, int hour, int minute = 0, int second = 0) {
    return QDateTime(QDate(2026, 3, day), QTime(hour, minute, second), Qt::UTC);
}

StatsRecord stats(qint64 words, qint64 durationMs, std::optional<QString> language = std::nullopt,
                  bool backtrack = false) {
    return StatsRecord{words, words * 5, durationMs, std::move(language), u"push"_s, backtrack};
}

// A real database file at the default place in a temporary home, stamped by a virtual clock.
struct Fixture {
    TemporaryEnvironment environment;
    VirtualClock clock;
    LocalDatabase database{clock};
    explicit Fixture(const QDateTime& start = utc(10, 9))
        : clock(start) {}
};

} // namespace

class tst_LocalDatabase : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void withoutConnection();
    void schemaTwiceAndUpserts();
    void userTextIsBoundNeverSpliced();
    void statisticsSummary();
    void todayIsTheLocalDay_data();
    void todayIsTheLocalDay();
    void pruningStatsSince();
    void unusableFiles();
    void aFailedWriteIsToldOnce();
};

void tst_LocalDatabase::withoutConnection() {
    // Never opened: reads answer nothing, writes are dropped or refused with the database error.
    VirtualClock clock;
    LocalDatabase database(clock, u"/nonexistent/never/opened.sqlite"_s);
    database.insertStats(stats(3, 100));
    database.saveSetting(u"k"_s, u"v"_s);
    QVERIFY(!database.isOpen() && database.fetchSnippets().empty() && !database.fetchSetting(u"k"_s));
    QCOMPARE(database.fetchStatsSummary(), PTTStatsSummary());
    QCOMPARE(database.fetchTodayStats(), TodayStats());
    QCOMPARE(database.saveSnippet(u"t"_s, u"b"_s).error(),
             (PTTError{ErrorDomain::database, 501, u"Could not prepare snippet save statement"_s}));
    QCOMPARE(database.deleteDictionaryEntry(1).error().code, 501);
}

void tst_LocalDatabase::schemaTwiceAndUpserts() {
    TemporaryEnvironment environment;
    VirtualClock clock;
    {
        LocalDatabase first(clock);
        QVERIFY(first.bootstrap().ok() && QFile::exists(AppPaths::databaseFile()));
        // What the user dictated is theirs alone from the start.
        QCOMPARE(QFile::permissions(AppPaths::databaseFile()) &
                     (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
                 QFile::Permissions());
        QVERIFY(first.saveSnippet(u"address"_s, u"1 Main St"_s).ok());
        first.insertStats(stats(10, 2000));
        QVERIFY(first.bootstrap().ok());
    }
    LocalDatabase database(clock);
    QVERIFY(database.bootstrap().ok());
    QCOMPARE(database.fetchStatsSummary().totalSessions, qint64(1));

    QVERIFY(database.saveDictionaryEntry(u"Github"_s, u"GitHub"_s, true).ok());
    const qint64 id = database.fetchDictionaryEntries().front().id;
    QVERIFY(database.saveDictionaryEntry(u"github"_s, u"GitHub Inc"_s, false).ok());
    QVERIFY(database.saveDictionaryEntry(u"ajá"_s, u"aha"_s, true).ok());
    const auto entries = database.fetchDictionaryEntries();
    QCOMPARE(entries.size(), std::size_t(2));
    QCOMPARE(entries[0].wrong, u"ajá"_s); // ordered by wrong, ignoring case
    QCOMPARE(entries[1], (DictionaryEntry{id, u"Github"_s, u"GitHub Inc"_s, false}));

    QVERIFY(database.saveSnippet(u"My Email"_s, u"ana@example.org"_s).ok());
    QVERIFY(database.saveSnippet(u"my email"_s, u"ana@work.example"_s).ok());
    const auto snippets = database.fetchSnippets();
    QCOMPARE(snippets.size(), std::size_t(2));
    QCOMPARE(snippets[0].trigger, u"address"_s); // ordered by trigger
    QCOMPARE(snippets[1], (SnippetEntry{snippets[1].id, u"My Email"_s, u"ana@work.example"_s}));

    const quint64 before = database.personalizationRevision();
    QVERIFY(database.deleteSnippet(snippets[0].id).ok());
    QVERIFY(database.deleteDictionaryEntry(id).ok());
    QVERIFY(database.deleteDictionaryEntry(987654321).ok()); // nothing to delete is not an error
    QCOMPARE(database.fetchSnippets().size(), std::size_t(1));
    QCOMPARE(database.fetchDictionaryEntries().size(), std::size_t(1));
    QCOMPARE(database.personalizationRevision(), before + 3);

    database.saveSetting(u"pruning_counter_reset"_s, u"2025-01-31T09:15:00Z"_s);
    database.saveSetting(u"pruning_counter_reset"_s, u"2026-02-01T00:00:00Z"_s);
    QCOMPARE(database.fetchSetting(u"pruning_counter_reset"_s), u"2026-02-01T00:00:00Z"_s);
}

void tst_LocalDatabase::userTextIsBoundNeverSpliced() {
    Fixture fixture;
    LocalDatabase& database = fixture.database;
    QVERIFY(database.bootstrap().ok());
    const QString hostile = u"x'); DROP TABLE voice_snippets; --"_s;
    const QString body = u"it's \"quoted\" ?, %d, \\n, 😀 e\u0301, \u0000 nul"_s;
    QVERIFY(database.saveSnippet(hostile, body).ok());
    QVERIFY(database.saveDictionaryEntry(u"%_?"_s, hostile, true).ok());
    database.insertStats(stats(1, 10, u"es'; --"_s));

    QCOMPARE(database.fetchSnippets().front(),
             (SnippetEntry{database.fetchSnippets().front().id, hostile, body}));
    QCOMPARE(database.fetchDictionaryEntries().front().correct, hostile);
    QCOMPARE(database.fetchTopLanguage(), u"es'; --"_s);
}

void tst_LocalDatabase::statisticsSummary() {
    Fixture fixture;
    LocalDatabase& database = fixture.database;
    QVERIFY(database.bootstrap().ok());
    QCOMPARE(database.fetchStatsSummary(), PTTStatsSummary());

    database.insertStats(stats(12, 3000, u"en"_s));
    database.insertStats(stats(8, 2000, u"es"_s, true));
    database.insertStats(stats(5, 1000, u"es"_s));
    database.insertStats(stats(7, 1500, QString()));
    // Hundreds of hours of dictation: the sum passes 2^31 milliseconds.
    database.insertStats(stats(1, 3'000'000'000));

    QCOMPARE(database.fetchStatsSummary(), (PTTStatsSummary{5, 33, qint64(3'000'007'500), 1, u"es"_s}));
}

void tst_LocalDatabase::todayIsTheLocalDay_data() {
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QDateTime>("rowTime");
    QTest::addColumn<QDateTime>("queryTime");
    QTest::addColumn<bool>("countsToday");

    // Each of the first two rows differs between the local-day and the UTC-day answer.
    // 16:30 in Los Angeles on the 10th is 23:30 UTC; at 19:00 local it is already the 11th in UTC.
    QTest::newRow("evening west of UTC")
        << QByteArray("America/Los_Angeles") << utc(10, 23, 30) << utc(11, 2) << true;
    // 07:30 in Tokyo on the 11th is still the 10th in UTC.
    QTest::newRow("morning east of UTC") << QByteArray("Asia/Tokyo") << utc(10, 22, 30) << utc(11, 0) << true;
    QTest::newRow("UTC midnight") << QByteArray("UTC") << utc(10, 23, 59, 59) << utc(11, 0) << false;
}

void tst_LocalDatabase::todayIsTheLocalDay() {
    QFETCH(QByteArray, zone);
    QFETCH(QDateTime, rowTime);
    QFETCH(QDateTime, queryTime);
    QFETCH(bool, countsToday);
    Fixture fixture(rowTime);
    fixture.environment.set("TZ", zone); // SQLite's 'localtime' reads the C library's zone
    QVERIFY(fixture.database.bootstrap().ok());
    fixture.database.insertStats(stats(4, 1200));
    fixture.database.insertStats(stats(6, 800));

    fixture.clock.setNow(queryTime);
    QCOMPARE(fixture.database.fetchTodayStats(), countsToday ? (TodayStats{2, 10, 2000}) : TodayStats());
}

void tst_LocalDatabase::pruningStatsSince() {
    Fixture fixture;
    LocalDatabase& database = fixture.database;
    QVERIFY(database.bootstrap().ok());
    for (const QDateTime& moment : {utc(12, 9, 59, 59), utc(12, 10), utc(12, 15)}) {
        fixture.clock.setNow(moment);
        database.insertPruningStats(PruningRecord{100, 40, 600, 250, u"max"_s, u"claude"_s});
    }
    QCOMPARE(database.fetchPruningStats(), (PruningStatsSummary{3, 300, 120, 1800, 750}));
    QCOMPARE(database.fetchPruningStats(utc(12, 10)), (PruningStatsSummary{2, 200, 80, 1200, 500}));
    const QDateTime sameMomentElsewhere = utc(12, 10).toOffsetFromUtc(-5 * 3600);
    QCOMPARE(database.fetchPruningStats(sameMomentElsewhere).totalPruned, qint64(2));
    QCOMPARE(database.fetchPruningStats(utc(13, 0)), (PruningStatsSummary{}));
}

void tst_LocalDatabase::aFailedWriteIsToldOnce() {
    Fixture fixture;
    QVERIFY(fixture.database.bootstrap().ok());
    // Another connection makes every statistics insert fail, as a full disk would.
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(AppPaths::databaseFile()).constData(), &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other,
                          "CREATE TRIGGER full BEFORE INSERT ON ptt_stats BEGIN SELECT RAISE(ABORT, 'disk is "
                          "full'); END",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    fixture.database.insertStats(stats(3, 100));
    fixture.database.insertStats(stats(4, 100));
    const auto failure = fixture.database.takeWriteError();
    QVERIFY(failure);
    QCOMPARE(failure->description, u"The statistics could not be saved: disk is full"_s);
    QVERIFY(!fixture.database.takeWriteError());

    QCOMPARE(sqlite3_exec(other, "DROP TRIGGER full", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    fixture.database.insertStats(stats(5, 100));
    QVERIFY(!fixture.database.takeWriteError());
    QCOMPARE(fixture.database.fetchStatsSummary().totalSessions, qint64(1));
}

void tst_LocalDatabase::unusableFiles() {
    Fixture fixture;
    const QByteArray garbage(4096, 'x');
    const QString path = fixture.environment.write(u"garbage.sqlite"_s, garbage);
    LocalDatabase database(fixture.clock, path);
    const auto result = database.bootstrap();
    QVERIFY(!result.ok());
    QCOMPARE(result.error().domain, ErrorDomain::database);
    QCOMPARE(result.error().code, 2);
    QVERIFY(result.error().description.contains(u"not a database"_s));
    QVERIFY(database.fetchSnippets().empty());
    QCOMPARE(database.saveSnippet(u"a"_s, u"b"_s).error().code, 501);
    QCOMPARE(TemporaryEnvironment::read(path), garbage);

    // A folder where the file should be cannot be opened at all.
    const QString folder = fixture.environment.filePath(u"folder.sqlite"_s);
    QVERIFY(QDir().mkpath(folder));
    QCOMPARE(LocalDatabase(fixture.clock, folder).bootstrap().error(),
             (PTTError{ErrorDomain::database, 1, u"Unable to open SQLite database at "_s + folder}));

    // Read-only: reads work, writes are refused, and a missing file is not created.
    QVERIFY(fixture.database.bootstrap().ok());
    QVERIFY(fixture.database.saveDictionaryEntry(u"teh"_s, u"the"_s, true).ok());
    LocalDatabase reader(fixture.clock, AppPaths::databaseFile(), LocalDatabase::Access::readOnly);
    QVERIFY(reader.bootstrap().ok());
    QCOMPARE(reader.fetchDictionaryEntries().front().correct, u"the"_s);
    const auto write = reader.saveSnippet(u"a"_s, u"b"_s);
    QCOMPARE(write.error().code, 500);
    QVERIFY(write.error().description.contains(u"readonly"_s));
    const QString absent = fixture.environment.filePath(u"absent.sqlite"_s);
    QCOMPARE(LocalDatabase(fixture.clock, absent, LocalDatabase::Access::readOnly).bootstrap().error().code,
             1);
    QVERIFY(!QFile::exists(absent));
}

QTEST_GUILESS_MAIN(tst_LocalDatabase)
#include "tst_LocalDatabase.moc"
