#include "TemporaryEnvironment.h"
#include "files/FileBookmark.h"

#include <QDir>
#include <QFile>
#include <QTest>

class tst_FileBookmark : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void followsTheFile();
    void damagedBookmarks();
};

void tst_FileBookmark::followsTheFile() {
    TemporaryEnvironment environment;
    const QString original = environment.filePath(QStringLiteral("journal.md"));
    const QString renamed = environment.filePath(QStringLiteral("journal (old).md"));
    {
        QFile file(original);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const auto bookmark = FileBookmark::create(original);
    QVERIFY(bookmark.ok());
    QCOMPARE(FileBookmark::resolve(bookmark.value()).value(), original);

    QVERIFY(QFile::rename(original, renamed));
    QCOMPARE(FileBookmark::resolve(bookmark.value()).value(), renamed);

    // A file at the old path again (an editor's atomic save makes a new inode) wins.
    {
        QFile file(original);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QCOMPARE(FileBookmark::resolve(bookmark.value()).value(), original);

    // A file that does not exist yet resolves to its path, so a new journal can start there.
    const QString fresh = environment.filePath(QStringLiteral("new.md"));
    QCOMPARE(FileBookmark::resolve(FileBookmark::create(fresh).value()).value(), fresh);

    // Its folder gone, the bookmark no longer resolves.
    const QString folder = environment.filePath(QStringLiteral("notes"));
    QVERIFY(QDir().mkpath(folder));
    const auto inFolder = FileBookmark::create(folder + QStringLiteral("/n.md")).value();
    QVERIFY(QDir(folder).removeRecursively());
    QVERIFY(!FileBookmark::resolve(inFolder).ok());
}

void tst_FileBookmark::damagedBookmarks() {
    QVERIFY(!FileBookmark::create(QStringLiteral("relative/path.md")).ok());
    for (const QByteArray& damaged :
         {QByteArray(), QByteArray("\x00\x01", 2), QByteArray(R"({"path":"relative.md"})"),
          QByteArray(R"({"path":42})"), QByteArray("[]")}) {
        const auto resolved = FileBookmark::resolve(damaged);
        QVERIFY(!resolved.ok());
        QVERIFY(!resolved.error().description.isEmpty());
    }
}

QTEST_GUILESS_MAIN(tst_FileBookmark)
#include "tst_FileBookmark.moc"
