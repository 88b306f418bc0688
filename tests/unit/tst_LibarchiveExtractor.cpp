#include "TemporaryEnvironment.h"
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

const QString outsideMarker = "@OUTSIDE@";

constexpr auto readAll = &TemporaryEnvironment::read;

constexpr LibarchiveExtractor::Limits testLimits{.maxEntries = 20, .maxBytes = 512 * 1024};

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

    QTest::newRow("install folder with a relative library link")
        << QList<Entry>{Entry::directory("Orlavo.app/"),
                        Entry::file("Orlavo.app/bin/orlavo", "#!/bin/sh\n", 0755),
                        Entry::file("Orlavo.app/lib/libdemo.so.1", "lib"),
                        Entry::symlink("Orlavo.app/lib/libdemo.so", "libdemo.so.1"),
                        Entry::symlink("Orlavo.app/bin/lib", "../lib"),
                        Entry::file("./Orlavo.app//share/readme", "hi")}
        << true;
    QTest::newRow("climbs out with ..")
        << QList<Entry>{Entry::file("Orlavo.app/x", "x"), Entry::file("../outside/evil", "x")} << false;
    QTest::newRow("climbs out from inside a folder")
        << QList<Entry>{Entry::file("Orlavo.app/../../outside/evil", "x")} << false;
    QTest::newRow("absolute path") << QList<Entry>{Entry::file(outsideMarker + "/evil", "x")} << false;
    QTest::newRow("link to an absolute path")
        << QList<Entry>{Entry::symlink("Orlavo.app/etc", outsideMarker.toUtf8())} << false;
    QTest::newRow("link climbing out")
        << QList<Entry>{Entry::symlink("Orlavo.app/up", "../../outside")} << false;
    // "a" could itself be a link elsewhere: ".." after a name is refused even when the text stays inside.
    QTest::newRow("link stepping back after a name")
        << QList<Entry>{Entry::directory("Orlavo.app/a/"), Entry::symlink("Orlavo.app/b", "a/../a")} << false;
    QTest::newRow("then writing through the outward link")
        << QList<Entry>{Entry::symlink("up", ".."), Entry::file("up/outside/evil", "x")} << false;
    QList<Entry> crowd;
    for (int i = 0; i < testLimits.maxEntries + 1; ++i) {
        crowd.append(Entry::file(QString("Orlavo.app/f%1").arg(i), "x"));
    }
    QTest::newRow("more entries than allowed") << crowd << false;
    // Compresses to a few hundred bytes; the bytes are counted as written, whatever the header says.
    QTest::newRow("bomb: more bytes than allowed")
        << QList<Entry>{Entry::file("Orlavo.app/a", QByteArray(testLimits.maxBytes / 2, '\0')),
                        Entry::file("Orlavo.app/b", QByteArray(testLimits.maxBytes / 2 + 1, '\0'))}
        << false;
}

void tst_LibarchiveExtractor::extraction() {
    QFETCH(QList<Entry>, entries);
    QFETCH(bool, ok);
    QTemporaryDir sandbox;
    const QDir root(sandbox.path());
    const QString outside = root.filePath("outside");
    QVERIFY(root.mkpath("dest") && root.mkpath("outside"));
    QFile victim(outside + "/victim");
    QVERIFY(victim.open(QIODevice::WriteOnly) && victim.write("precious") > 0);
    victim.close();
    for (Entry& entry : entries) {
        entry.path.replace(outsideMarker, outside);
        entry.content.replace(outsideMarker.toUtf8(), outside.toUtf8());
    }
    QVERIFY(TestArchive::writeZip(root.filePath("package.zip"), entries));

    QCOMPARE(
        LibarchiveExtractor(testLimits).extract(root.filePath("package.zip"), root.filePath("dest")).ok(),
        ok);

    // Whatever happened, nothing outside the destination changed.
    QCOMPARE(QDir(outside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"victim"});
    QCOMPARE(readAll(victim.fileName()), "precious");
    QCOMPARE(victim.permissions() & QFile::WriteOther, QFile::Permissions());
    QCOMPARE(root.entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList({"dest", "outside", "package.zip"}));
    if (ok) {
        const QDir app(root.filePath("dest/Orlavo.app"));
        QVERIFY(QFileInfo(app.filePath("bin/orlavo")).isExecutable());
        QCOMPARE(QFile::symLinkTarget(app.filePath("lib/libdemo.so")), app.filePath("lib/libdemo.so.1"));
        QCOMPARE(readAll(app.filePath("lib/libdemo.so")), "lib");
        QCOMPARE(readAll(app.filePath("share/readme")), "hi");
    }
}

void tst_LibarchiveExtractor::largeEntryAndDamagedArchive() {
    QTemporaryDir sandbox;
    const QDir root(sandbox.path());
    QVERIFY(root.mkpath("dest") && root.mkpath("out"));
    const QString good = root.filePath("good.zip");
    QByteArray big(256 * 1024, 'a');
    for (qsizetype i = 0; i < big.size(); ++i) {
        big[i] = char('a' + (i * 7919) % 26);
    }
    QVERIFY(TestArchive::writeZip(good, {Entry::file("Orlavo.app/bin/orlavo", big, 04755)}));

    LibarchiveExtractor extractor;
    QVERIFY(extractor.extract(good, root.filePath("dest")).ok());
    const QString extracted = root.filePath("dest/Orlavo.app/bin/orlavo");
    QCOMPARE(readAll(extracted), big);
    struct stat status {};
    QCOMPARE(::stat(QFile::encodeName(extracted).constData(), &status), 0);
    QVERIFY(status.st_mode & S_IXUSR);
    QCOMPARE(status.st_mode & (S_ISUID | S_ISGID | S_ISVTX), 0u); // never a set-user-ID program

    // Cut short: the central directory at its end is missing.
    QFile truncated(root.filePath("truncated.zip"));
    QVERIFY(truncated.open(QIODevice::WriteOnly) &&
            truncated.write(readAll(good).left(QFileInfo(good).size() / 2)));
    truncated.close();
    QVERIFY(!extractor.extract(truncated.fileName(), root.filePath("out")).ok());
    QVERIFY(!extractor.extract(good, root.filePath("no-such-folder")).ok());
}

QTEST_GUILESS_MAIN(tst_LibarchiveExtractor)
#include "tst_LibarchiveExtractor.moc"
