#include "TemporaryEnvironment.h"
#include "VirtualClock.h"
#include "common/ErrorDomain.h"
#include "paths/AppPaths.h"
#include "storage/LocalDatabase.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <ctime>
#include <sqlite3.h>

namespace {

QDateTime utc(int day, int hour, int minute = 0, int second = 0) {
    return QDateTime(QDate(2026, 3, day), QTime(hour, minute, second), Qt::UTC);
}

// Runs one test in a given time zone; SQLite's 'localtime' reads the C library's zone.
class TimeZoneScope final {
public:
    explicit TimeZoneScope(const char* zone)
        : m_previous(qgetenv("TZ"))
        , m_hadPrevious(qEnvironmentVariableIsSet("TZ")) {
        qputenv("TZ", zone);
        tzset();
    }
    ~TimeZoneScope() {
        if (m_hadPrevious) {
            qputenv("TZ", m_previous);
        } else {
            qunsetenv("TZ");
        }
        tzset();
    }

private:
    QByteArray m_previous;
    bool m_hadPrevious;
};

StatsRecord stats(qint64 words, qint64 durationMs, std::optional<QString> language = std::nullopt,
                  bool backtrack = false) {
    return StatsRecord{words, words * 5, durationMs, std::move(language), QStringLiteral("push"), backtrack};
}

} // namespace

class tst_LocalDatabase : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void withoutConnection();
    void schemaTwiceKeepsRows();
    void dictionaryAndSnippetUpserts();
    void userTextIsBoundNeverSpliced();
    void statisticsSummary();
    void todayIsTheLocalDay_data();
    void todayIsTheLocalDay();
    void pruningStatsSince();
    void settingsTable();
    void fileThatIsNotADatabase();
    void readOnlyFile();
};

void tst_LocalDatabase::withoutConnection() {
    VirtualClock clock;
    LocalDatabase database(clock, QStringLiteral("/nonexistent/never/opened.sqlite"));
    QVERIFY(!database.isOpen());
    QVERIFY(database.fetchDictionaryEntries().empty());
    QVERIFY(database.fetchSnippets().empty());
    QCOMPARE(database.fetchStatsSummary(), PTTStatsSummary());
    QCOMPARE(database.fetchTodayStats(), TodayStats());
    QCOMPARE(database.fetchPruningStats(), PruningStatsSummary());
    QVERIFY(!database.fetchSetting(QStringLiteral("k")));
    database.insertStats(stats(3, 100));
    database.saveSetting(QStringLiteral("k"), QStringLiteral("v"));

    const auto save = database.saveSnippet(QStringLiteral("t"), QStringLiteral("b"));
    QCOMPARE(save.error(), (PTTError{ErrorDomain::database, 501,
                                     QStringLiteral("Could not prepare snippet save statement")}));
    QCOMPARE(database.deleteSnippet(1).error().description,
             QStringLiteral("Could not prepare snippet delete statement"));
    QCOMPARE(database.saveDictionaryEntry(QStringLiteral("a"), QStringLiteral("b"), true).error().description,
             QStringLiteral("Could not prepare dictionary save statement"));
    QCOMPARE(database.deleteDictionaryEntry(1).error().description,
             QStringLiteral("Could not prepare dictionary delete statement"));
    QCOMPARE(database.personalizationRevision(), quint64(0));
}

void tst_LocalDatabase::schemaTwiceKeepsRows() {
    TemporaryEnvironment environment;
    VirtualClock clock;
    {
        LocalDatabase database(clock);
        QCOMPARE(database.filePath(), AppPaths::databaseFile());
        QVERIFY(database.bootstrap().ok());
        QVERIFY(QFile::exists(AppPaths::databaseFile()));
        QVERIFY(database.saveSnippet(QStringLiteral("sig"), QStringLiteral("Best, Ana")).ok());
        database.insertStats(stats(10, 2000));
        QVERIFY(database.bootstrap().ok());
        QCOMPARE(database.fetchSnippets().size(), std::size_t(1));
    }
    LocalDatabase reopened(clock);
    QVERIFY(reopened.bootstrap().ok());
    QCOMPARE(reopened.fetchSnippets().front().body, QStringLiteral("Best, Ana"));
    QCOMPARE(reopened.fetchStatsSummary().totalSessions, qint64(1));
}

void tst_LocalDatabase::dictionaryAndSnippetUpserts() {
    TemporaryEnvironment environment;
    VirtualClock clock;
    LocalDatabase database(clock);
    QVERIFY(database.bootstrap().ok());

    QVERIFY(database.saveDictionaryEntry(QStringLiteral("Github"), QStringLiteral("GitHub"), true).ok());
    const qint64 id = database.fetchDictionaryEntries().front().id;
    QVERIFY(database.saveDictionaryEntry(QStringLiteral("github"), QStringLiteral("GitHub Inc"), false).ok());
    QVERIFY(database.saveDictionaryEntry(QStringLiteral("ajá"), QStringLiteral("aha"), true).ok());
    auto entries = database.fetchDictionaryEntries();
    QCOMPARE(entries.size(), std::size_t(2));
    QCOMPARE(entries[0].wrong, QStringLiteral("ajá")); // ordered by wrong, ignoring case
    QCOMPARE(entries[1],
             (DictionaryEntry{id, QStringLiteral("Github"), QStringLiteral("GitHub Inc"), false}));

    QVERIFY(database.saveSnippet(QStringLiteral("My Email"), QStringLiteral("ana@example.org")).ok());
    QVERIFY(database.saveSnippet(QStringLiteral("my email"), QStringLiteral("ana@work.example")).ok());
    QVERIFY(database.saveSnippet(QStringLiteral("address"), QStringLiteral("1 Main St")).ok());
    const auto snippets = database.fetchSnippets();
    QCOMPARE(snippets.size(), std::size_t(2));
    QCOMPARE(snippets[0].trigger, QStringLiteral("address")); // ordered by trigger
    QCOMPARE(snippets[1],
             (SnippetEntry{snippets[1].id, QStringLiteral("My Email"), QStringLiteral("ana@work.example")}));

    const quint64 before = database.personalizationRevision();
    QVERIFY(database.deleteSnippet(snippets[0].id).ok());
    QVERIFY(database.deleteDictionaryEntry(id).ok());
    QVERIFY(database.deleteDictionaryEntry(987654321).ok()); // nothing to delete is not an error
    QCOMPARE(database.fetchSnippets().size(), std::size_t(1));
    QCOMPARE(database.fetchDictionaryEntries().size(), std::size_t(1));
    QCOMPARE(database.personalizationRevision(), before + 3);
}

void tst_LocalDatabase::userTextIsBoundNeverSpliced() {
    TemporaryEnvironment environment;
    VirtualClock clock;
    LocalDatabase database(clock);
    QVERIFY(database.bootstrap().ok());
    const QString hostile = QStringLiteral("x'); DROP TABLE voice_snippets; --");
    const QString body = QStringLiteral("it's \"quoted\" ?, %d, \\n, 😀 e\u0301, \u0000 nul");
    QVERIFY(database.saveSnippet(hostile, body).ok());
    QVERIFY(database.saveDictionaryEntry(QStringLiteral("%_?"), hostile, true).ok());
    database.insertStats(stats(1, 10, QStringLiteral("es'; --")));

    QCOMPARE(database.fetchSnippets().front(),
             (SnippetEntry{database.fetchSnippets().front().id, hostile, body}));
    QCOMPARE(database.fetchDictionaryEntries().front().correct, hostile);
    QCOMPARE(database.fetchTopLanguage(), QStringLiteral("es'; --"));
}

void tst_LocalDatabase::statisticsSummary() {
    TemporaryEnvironment environment;
    VirtualClock clock(utc(10, 9));
    LocalDatabase database(clock);
    QVERIFY(database.bootstrap().ok());
    QCOMPARE(database.fetchStatsSummary(), PTTStatsSummary());

    database.insertStats(stats(12, 3000, QStringLiteral("en")));
    database.insertStats(stats(8, 2000, QStringLiteral("es"), true));
    database.insertStats(stats(5, 1000, QStringLiteral("es")));
    database.insertStats(stats(7, 1500, QString()));
    database.insertStats(stats(3, 500));
    // Hundreds of hours of dictation: the sum passes 2^31 milliseconds.
    database.insertStats(stats(1, 3'000'000'000));

    const PTTStatsSummary summary = database.fetchStatsSummary();
    QCOMPARE(summary.totalSessions, qint64(6));
    QCOMPARE(summary.totalWords, qint64(36));
    QCOMPARE(summary.totalDurationMs, qint64(3'000'008'000));
    QCOMPARE(summary.backtracks, qint64(1));
    QCOMPARE(summary.topLanguage, QStringLiteral("es"));
}

void tst_LocalDatabase::todayIsTheLocalDay_data() {
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QDateTime>("rowTime");
    QTest::addColumn<QDateTime>("queryTime");
    QTest::addColumn<bool>("countsToday");

    // Each row differs between the local-day and the UTC-day answer.
    // 16:30 in Los Angeles on the 10th is 23:30 UTC; at 19:00 local it is already the 11th in UTC.
    QTest::newRow("evening west of UTC")
        << QByteArray("America/Los_Angeles") << utc(10, 23, 30) << utc(11, 2) << true;
    QTest::newRow("west, the evening before")
        << QByteArray("America/Los_Angeles") << utc(10, 6, 59) << utc(10, 20) << false;
    // 07:30 in Tokyo on the 11th is still the 10th in UTC.
    QTest::newRow("morning east of UTC") << QByteArray("Asia/Tokyo") << utc(10, 22, 30) << utc(11, 0) << true;
    QTest::newRow("east, just before midnight")
        << QByteArray("Asia/Tokyo") << utc(10, 14, 59) << utc(10, 15, 30) << false;
    QTest::newRow("UTC midnight") << QByteArray("UTC") << utc(10, 23, 59, 59) << utc(11, 0) << false;
}

void tst_LocalDatabase::todayIsTheLocalDay() {
    QFETCH(QByteArray, zone);
    QFETCH(QDateTime, rowTime);
    QFETCH(QDateTime, queryTime);
    TimeZoneScope timeZone(zone.constData());
    TemporaryEnvironment environment;
    VirtualClock clock(rowTime);
    LocalDatabase database(clock);
    QVERIFY(database.bootstrap().ok());
    database.insertStats(stats(4, 1200));
    database.insertStats(stats(6, 800));

    clock.setNow(queryTime);
    const TodayStats today = database.fetchTodayStats();
    QFETCH(bool, countsToday);
    if (countsToday) {
        QCOMPARE(today, (TodayStats{2, 10, 2000}));
    } else {
        QCOMPARE(today, TodayStats());
    }
}

void tst_LocalDatabase::pruningStatsSince() {
    TemporaryEnvironment environment;
    VirtualClock clock;
    LocalDatabase database(clock);
    QVERIFY(database.bootstrap().ok());
    for (const QDateTime& moment : {utc(12, 9, 59, 59), utc(12, 10), utc(12, 15)}) {
        clock.setNow(moment);
        database.insertPruningStats(
            PruningRecord{100, 40, 600, 250, QStringLiteral("max"), QStringLiteral("claude")});
    }
    QCOMPARE(database.fetchPruningStats(), (PruningStatsSummary{3, 300, 120, 1800, 750}));
    QCOMPARE(database.fetchPruningStats(utc(12, 10)), (PruningStatsSummary{2, 200, 80, 1200, 500}));
    const QDateTime sameMomentElsewhere = utc(12, 10).toOffsetFromUtc(-5 * 3600);
    QCOMPARE(database.fetchPruningStats(sameMomentElsewhere).totalPruned, qint64(2));
    QCOMPARE(database.fetchPruningStats(utc(13, 0)), (PruningStatsSummary{}));
}

void tst_LocalDatabase::settingsTable() {
    TemporaryEnvironment environment;
    VirtualClock clock;
    LocalDatabase database(clock);
    QVERIFY(database.bootstrap().ok());
    QVERIFY(!database.fetchSetting(QStringLiteral("pruning_counter_reset")));
    database.saveSetting(QStringLiteral("pruning_counter_reset"), QStringLiteral("2025-01-31T09:15:00Z"));
    database.saveSetting(QStringLiteral("pruning_counter_reset"), QStringLiteral("2026-02-01T00:00:00Z"));
    QCOMPARE(database.fetchSetting(QStringLiteral("pruning_counter_reset")),
             QStringLiteral("2026-02-01T00:00:00Z"));
}

void tst_LocalDatabase::fileThatIsNotADatabase() {
    TemporaryEnvironment environment;
    const QString path = environment.filePath(QStringLiteral("garbage.sqlite"));
    const QByteArray garbage(4096, 'x');
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(garbage);
    }
    VirtualClock clock;
    LocalDatabase database(clock, path);
    const auto result = database.bootstrap();
    QVERIFY(!result.ok());
    QCOMPARE(result.error().domain, ErrorDomain::database);
    QCOMPARE(result.error().code, 2);
    QVERIFY(result.error().description.contains(QStringLiteral("not a database")));
    QVERIFY(database.fetchSnippets().empty());
    QCOMPARE(database.saveSnippet(QStringLiteral("a"), QStringLiteral("b")).error().code, 501);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), garbage);

    // A folder where the file should be cannot be opened at all.
    const QString folder = environment.filePath(QStringLiteral("folder.sqlite"));
    QVERIFY(QDir().mkpath(folder));
    LocalDatabase unopenable(clock, folder);
    QCOMPARE(
        unopenable.bootstrap().error(),
        (PTTError{ErrorDomain::database, 1, QStringLiteral("Unable to open SQLite database at ") + folder}));
}

void tst_LocalDatabase::readOnlyFile() {
    TemporaryEnvironment environment;
    VirtualClock clock;
    const QString path = AppPaths::databaseFile();
    {
        LocalDatabase database(clock);
        QVERIFY(database.bootstrap().ok());
        QVERIFY(database.saveDictionaryEntry(QStringLiteral("teh"), QStringLiteral("the"), true).ok());
    }
    LocalDatabase reader(clock, path, LocalDatabase::Access::readOnly);
    QVERIFY(reader.bootstrap().ok());
    QCOMPARE(reader.fetchDictionaryEntries().front().correct, QStringLiteral("the"));
    const auto write = reader.saveSnippet(QStringLiteral("a"), QStringLiteral("b"));
    QCOMPARE(write.error().code, 500);
    QVERIFY(write.error().description.contains(QStringLiteral("readonly")));

    LocalDatabase missing(clock, environment.filePath(QStringLiteral("absent.sqlite")),
                          LocalDatabase::Access::readOnly);
    QCOMPARE(missing.bootstrap().error().code, 1);
    QVERIFY(!QFile::exists(environment.filePath(QStringLiteral("absent.sqlite"))));
}

QTEST_GUILESS_MAIN(tst_LocalDatabase)
#include "tst_LocalDatabase.moc"
