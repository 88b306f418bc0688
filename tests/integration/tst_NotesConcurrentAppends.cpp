#include "TemporaryEnvironment.h"
#include "VirtualClock.h"
#include "core/files/FileBookmark.h"
#include "core/notes/NotesService.h"

#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int notesPerProcess = 150;

// Appends `notesPerProcess` notes labelled with `who`; answers how many failed.
int appendNotes(const QByteArray& bookmark, const QString& who) {
    const VirtualClock clock; // 12:00 UTC on Thursday, 15 January 2026
    NotesService notes(clock, u"en_US"_s, u"UTC"_s);
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
    const QString path = environment.filePath(u"shared.md"_s);
    const QByteArray bookmark = FileBookmark::create(path).value();

    int startSignal[2];
    QCOMPARE(::pipe(startSignal), 0);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        char go = 0;
        ::close(startSignal[1]);
        const bool started = ::read(startSignal[0], &go, 1) == 1;
        ::_exit(started ? appendNotes(bookmark, u"child"_s) : 100);
    }
    ::close(startSignal[0]);
    QCOMPARE(::write(startSignal[1], "g", 1), ssize_t(1));
    ::close(startSignal[1]);
    const int parentFailures = appendNotes(bookmark, u"parent"_s);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QCOMPARE(parentFailures, 0);

    // One title and one heading, then every entry of both processes, whole and on a line of its own.
    const QString journal = QString::fromUtf8(TemporaryEnvironment::read(path));
    const QString header = u"# PTT Voice Notes\n\n\n## Thursday, January 15, 2026\n\n"_s;
    QVERIFY2(journal.startsWith(header), qPrintable(journal.left(200)));
    QStringList lines = journal.mid(header.size()).split(u'\n');
    QCOMPARE(lines.takeLast(), QString());
    QStringList expected;
    for (int note = 0; note < notesPerProcess; ++note) {
        expected << u"- **12:00** — child %1"_s.arg(note) << u"- **12:00** — parent %1"_s.arg(note);
    }
    lines.sort();
    expected.sort();
    QCOMPARE(lines, expected);
}

QTEST_GUILESS_MAIN(tst_NotesConcurrentAppends)
#include "tst_NotesConcurrentAppends.moc"
