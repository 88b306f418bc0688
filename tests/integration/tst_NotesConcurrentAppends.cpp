#include "TemporaryEnvironment.h"
#include "VirtualClock.h"
#include "files/FileBookmark.h"
#include "notes/NotesService.h"

#include <QFile>
#include <QSet>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int notesPerProcess = 150;

// Appends `notesPerProcess` notes labelled with `who`; answers how many failed.
int appendNotes(const QByteArray& bookmark, const QString& who) {
    const VirtualClock clock(QDateTime(QDate(2026, 1, 15), QTime(12, 0), Qt::UTC));
    NotesService notes(clock, QStringLiteral("en_US"), QStringLiteral("UTC"));
    int failures = 0;
    for (int note = 0; note < notesPerProcess; ++note) {
        if (!notes.saveNote(who + QLatin1Char(' ') + QString::number(note), bookmark).ok()) {
            ++failures;
        }
    }
    return failures;
}

} // namespace

class tst_NotesConcurrentAppends : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void twoProcessesAppendAtOnce();
};

void tst_NotesConcurrentAppends::twoProcessesAppendAtOnce() {
    TemporaryEnvironment environment;
    // A journal that does not exist yet: both processes race to create it and write the title.
    const QString path = environment.filePath(QStringLiteral("shared.md"));
    const QByteArray bookmark = FileBookmark::create(path).value();

    int startSignal[2];
    QCOMPARE(::pipe(startSignal), 0);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        char go = 0;
        ::close(startSignal[1]);
        const bool started = ::read(startSignal[0], &go, 1) == 1;
        ::_exit(started ? appendNotes(bookmark, QStringLiteral("child")) : 100);
    }
    ::close(startSignal[0]);
    QCOMPARE(::write(startSignal[1], "g", 1), ssize_t(1));
    ::close(startSignal[1]);
    const int parentFailures = appendNotes(bookmark, QStringLiteral("parent"));
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QCOMPARE(parentFailures, 0);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString journal = QString::fromUtf8(file.readAll());
    const QString header = QStringLiteral("# PTT Voice Notes\n\n\n## Thursday, January 15, 2026\n\n");
    QVERIFY2(journal.startsWith(header), qPrintable(journal.left(200)));
    QCOMPARE(journal.count(QStringLiteral("# PTT Voice Notes")), 1);
    QCOMPARE(journal.count(QStringLiteral("## Thursday")), 1);

    QStringList lines = journal.mid(header.size()).split(QLatin1Char('\n'));
    QCOMPARE(lines.takeLast(), QString());
    QSet<QString> expected;
    for (int note = 0; note < notesPerProcess; ++note) {
        expected.insert(QStringLiteral("- **12:00** — child %1").arg(note));
        expected.insert(QStringLiteral("- **12:00** — parent %1").arg(note));
    }
    QCOMPARE(lines.size(), 2 * notesPerProcess);
    QCOMPARE(QSet<QString>(lines.begin(), lines.end()), expected);
}

QTEST_GUILESS_MAIN(tst_NotesConcurrentAppends)
#include "tst_NotesConcurrentAppends.moc"
