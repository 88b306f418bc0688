#include "TestArchive.h"
#include "platform/common/LibarchiveExtractor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using TestArchive::Entry;
Q_DECLARE_METATYPE(QList<Entry>)

namespace {

const QString outsideMarker = QStringLiteral("@OUTSIDE@");

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

class tst_LibarchiveExtractor : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void extraction_data();
    void extraction();
    void largeEntryAndDamagedArchive();
};

void tst_LibarchiveExtractor::extraction_data() {
    QTest::addColumn<QList<Entry>>("entries");
    QTest::addColumn<bool>("ok");

    const Entry runnable = Entry::file(QStringLiteral("Orlavo.app/bin/orlavo"), "#!/bin/sh\n", 0755);
    QTest::newRow("install folder with a relative library link")
        << QList<Entry>{Entry::directory(QStringLiteral("Orlavo.app/")),
                        runnable,
                        Entry::file(QStringLiteral("Orlavo.app/lib/libdemo.so.1"), "lib"),
                        Entry::symlink(QStringLiteral("Orlavo.app/lib/libdemo.so"), "libdemo.so.1"),
                        Entry::symlink(QStringLiteral("Orlavo.app/bin/lib"), "../lib"),
                        Entry::file(QStringLiteral("./Orlavo.app//share/readme"), "hi")}
        << true;
    QTest::newRow("climbs out with ..")
        << QList<Entry>{runnable, Entry::file(QStringLiteral("../outside/evil"), "x")} << false;
    QTest::newRow("climbs out from inside a folder")
        << QList<Entry>{Entry::file(QStringLiteral("Orlavo.app/../../outside/evil"), "x")} << false;
    QTest::newRow("absolute path") << QList<Entry>{Entry::file(outsideMarker + QStringLiteral("/evil"), "x")}
                                   << false;
    QTest::newRow("link to an absolute path")
        << QList<Entry>{Entry::symlink(QStringLiteral("Orlavo.app/etc"), outsideMarker.toUtf8())} << false;
    QTest::newRow("link climbing out")
        << QList<Entry>{Entry::symlink(QStringLiteral("Orlavo.app/up"), "../../outside")} << false;
    QTest::newRow("link stepping back after a name")
        << QList<Entry>{Entry::directory(QStringLiteral("Orlavo.app/a/")),
                        Entry::symlink(QStringLiteral("Orlavo.app/b"), "a/../../outside")}
        << false;
    QTest::newRow("then writing through the outward link")
        << QList<Entry>{Entry::symlink(QStringLiteral("up"), ".."),
                        Entry::file(QStringLiteral("up/outside/evil"), "x")}
        << false;
}

void tst_LibarchiveExtractor::extraction() {
    QFETCH(QList<Entry>, entries);
    QFETCH(bool, ok);
    QTemporaryDir sandbox;
    const QDir root(sandbox.path());
    QVERIFY(root.mkpath(QStringLiteral("dest")) && root.mkpath(QStringLiteral("outside")));
    QFile victim(root.filePath(QStringLiteral("outside/victim")));
    QVERIFY(victim.open(QIODevice::WriteOnly) && victim.write("precious") > 0);
    victim.close();
    for (Entry& entry : entries) {
        entry.path.replace(outsideMarker, root.filePath(QStringLiteral("outside")));
        entry.content.replace(outsideMarker.toUtf8(), root.filePath(QStringLiteral("outside")).toUtf8());
    }
    const QString archive = root.filePath(QStringLiteral("package.zip"));
    QVERIFY(TestArchive::writeZip(archive, entries));

    LibarchiveExtractor extractor;
    const auto result = extractor.extract(archive, root.filePath(QStringLiteral("dest")));
    QCOMPARE(result.ok(), ok);

    // Whatever happened, nothing outside the destination changed.
    QCOMPARE(
        QDir(root.filePath(QStringLiteral("outside"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
        QStringList{QStringLiteral("victim")});
    QCOMPARE(readAll(victim.fileName()), QByteArray("precious"));
    QCOMPARE(QFileInfo(victim.fileName()).permissions() & QFile::WriteOther, QFile::Permissions());
    QCOMPARE(root.entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList({QStringLiteral("dest"), QStringLiteral("outside"), QStringLiteral("package.zip")}));
    if (!ok) {
        return;
    }
    const QDir app(root.filePath(QStringLiteral("dest/Orlavo.app")));
    QVERIFY(QFileInfo(app.filePath(QStringLiteral("bin/orlavo"))).isExecutable());
    const QFileInfo link(app.filePath(QStringLiteral("lib/libdemo.so")));
    QVERIFY(link.isSymLink());
    QCOMPARE(QFile::symLinkTarget(link.filePath()), app.filePath(QStringLiteral("lib/libdemo.so.1")));
    QCOMPARE(readAll(link.filePath()), QByteArray("lib"));
    QCOMPARE(readAll(app.filePath(QStringLiteral("share/readme"))), QByteArray("hi"));
}

void tst_LibarchiveExtractor::largeEntryAndDamagedArchive() {
    QTemporaryDir sandbox;
    const QDir root(sandbox.path());
    QVERIFY(root.mkpath(QStringLiteral("dest")));
    const QString good = root.filePath(QStringLiteral("good.zip"));
    QByteArray big(256 * 1024, 'a');
    for (qsizetype i = 0; i < big.size(); ++i) {
        big[i] = char('a' + (i * 7919) % 26);
    }
    QVERIFY(TestArchive::writeZip(good, {Entry::file(QStringLiteral("Orlavo.app/bin/orlavo"), big, 04755)}));

    LibarchiveExtractor extractor;
    QVERIFY(extractor.extract(good, root.filePath(QStringLiteral("dest"))).ok());
    const QFileInfo extracted(root.filePath(QStringLiteral("dest/Orlavo.app/bin/orlavo")));
    QCOMPARE(readAll(extracted.filePath()), big);
    QVERIFY(extracted.isExecutable());
    struct stat status {};
    QCOMPARE(::stat(QFile::encodeName(extracted.filePath()).constData(), &status), 0);
    QCOMPARE(status.st_mode & (S_ISUID | S_ISGID | S_ISVTX),
             0u); // a package never installs set-user-ID programs

    // Cut short: the central directory at its end is missing.
    const QString truncated = root.filePath(QStringLiteral("truncated.zip"));
    QFile file(truncated);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(readAll(good).left(QFileInfo(good).size() / 2));
    file.close();
    QVERIFY(root.mkpath(QStringLiteral("out")));
    QVERIFY(!extractor.extract(truncated, root.filePath(QStringLiteral("out"))).ok());
    QVERIFY(!extractor.extract(good, root.filePath(QStringLiteral("no-such-folder"))).ok());
}

QTEST_GUILESS_MAIN(tst_LibarchiveExtractor)
#include "tst_LibarchiveExtractor.moc"
