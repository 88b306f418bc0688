#include "TestArchive.h"
#include "update/InstallLocation.h"
#include "update/UpdateInstaller.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Renames like the real thing, except for the calls the test wants to fail.
struct ScriptedRename {
    QList<int> failingCalls; // 1-based
    int calls = 0;
    bool operator()(const QString& from, const QString& to) {
        ++calls;
        return !failingCalls.contains(calls) && QDir().rename(from, to);
    }
};

} // namespace

class tst_UpdateInstaller : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void swap_data();
    void swap();
    void backupCleanup();
    void installFolderFromExecutablePath();
};

void tst_UpdateInstaller::swap_data() {
    QTest::addColumn<QList<int>>("failingRenames");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("installedAfter");
    QTest::addColumn<QByteArray>("backupAfter");
    QTest::addColumn<QString>("errorPart");
    // Renames in order: new folder → staging, installed → backup, staging → installed, backup → installed.
    QTest::newRow("same file system")
        << QList<int>{} << true << QByteArray("echo 2.0") << QByteArray("echo 1.0") << QString();
    QTest::newRow("unpacked on another file system: copied")
        << QList<int>{1} << true << QByteArray("echo 2.0") << QByteArray("echo 1.0") << QString();
    QTest::newRow("installed folder cannot be moved aside")
        << QList<int>{2} << false << QByteArray("echo 1.0") << QByteArray() << "Could not move";
    QTest::newRow("failure between the two moves: moved back")
        << QList<int>{3} << false << QByteArray("echo 1.0") << QByteArray() << "into place at";
    QTest::newRow("moving back fails too: the backup is named")
        << QList<int>{3, 4} << false << QByteArray() << QByteArray("echo 1.0")
        << "previous version is kept at";
}

void tst_UpdateInstaller::swap() {
    QFETCH(QList<int>, failingRenames);
    QFETCH(bool, ok);
    QFETCH(QByteArray, installedAfter);
    QFETCH(QByteArray, backupAfter);
    QFETCH(QString, errorPart);

    QTemporaryDir sandbox;
    const QDir root(sandbox.path());
    QVERIFY(root.mkpath(QStringLiteral("install")) && root.mkpath(QStringLiteral("extracted")));
    QVERIFY(TestArchive::makeAppFolder(root.filePath(QStringLiteral("install")), QStringLiteral("1.0")));
    QVERIFY(TestArchive::makeAppFolder(root.filePath(QStringLiteral("extracted")), QStringLiteral("2.0")));
    const QString installed = root.filePath(QStringLiteral("install/Orlavo.app"));

    ScriptedRename rename{failingRenames};
    const UpdateInstaller installer(installed, std::ref(rename));
    const auto newApp = installer.findNewApp(root.filePath(QStringLiteral("extracted")));
    QVERIFY(newApp.ok());
    const auto result = installer.swapIn(newApp.value());
    QCOMPARE(result.ok(), ok);
    if (!ok) {
        QVERIFY2(result.error().description.contains(errorPart), qPrintable(result.error().description));
    }

    QCOMPARE(readAll(installed + QStringLiteral("/bin/orlavo")).contains(installedAfter), true);
    QCOMPARE(QFileInfo::exists(installed), !installedAfter.isEmpty());
    QCOMPARE(QFileInfo::exists(installer.backupPath()), !backupAfter.isEmpty());
    if (!backupAfter.isEmpty()) {
        QVERIFY(readAll(installer.backupPath() + QStringLiteral("/bin/orlavo")).contains(backupAfter));
    }
    QCOMPARE(QFileInfo::exists(installer.successMarkerPath()), ok);
    // The staged copy never survives a failure that left the old version in place.
    QCOMPARE(QFileInfo::exists(installer.stagingPath()), !ok && installedAfter.isEmpty());
    if (ok) {
        QVERIFY(QFileInfo(installed + QStringLiteral("/bin/orlavo")).isExecutable());
        const QString link = installed + QStringLiteral("/lib/libdemo.so");
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(QFileInfo(link).symLinkTarget(), installed + QStringLiteral("/lib/libdemo.so.1"));
    }
}

void tst_UpdateInstaller::backupCleanup() {
    QTemporaryDir sandbox;
    const QDir root(sandbox.path());
    QVERIFY(root.mkpath(QStringLiteral("install")) && root.mkpath(QStringLiteral("elsewhere/keep")));
    QVERIFY(TestArchive::makeAppFolder(root.filePath(QStringLiteral("install")), QStringLiteral("2.0")));
    const UpdateInstaller installer(root.filePath(QStringLiteral("install/Orlavo.app")));
    const auto touch = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly);
    };

    // A backup without the marker is an interrupted update: kept.
    QVERIFY(root.mkpath(QStringLiteral("install/Orlavo.app.backup/bin")));
    QVERIFY(!installer.cleanupOldBackup());
    QVERIFY(QFileInfo::exists(installer.backupPath()));

    QVERIFY(touch(installer.successMarkerPath()));
    QVERIFY(installer.cleanupOldBackup());
    QVERIFY(!QFileInfo::exists(installer.backupPath()));
    QVERIFY(!QFileInfo::exists(installer.successMarkerPath()));
    QVERIFY(!installer.cleanupOldBackup());

    // A backup name that is a link: the link goes, never what it points to.
    QVERIFY(touch(root.filePath(QStringLiteral("elsewhere/keep/file"))));
    QVERIFY(QFile::link(root.filePath(QStringLiteral("elsewhere")), installer.backupPath()));
    QVERIFY(touch(installer.successMarkerPath()));
    QVERIFY(installer.cleanupOldBackup());
    QVERIFY(!QFileInfo(installer.backupPath()).isSymLink());
    QVERIFY(QFileInfo::exists(root.filePath(QStringLiteral("elsewhere/keep/file"))));
    QVERIFY(QFileInfo(root.filePath(QStringLiteral("install/Orlavo.app/bin/orlavo"))).isExecutable());

    // Not installed as a folder: nothing to clean, whatever lies around.
    QVERIFY(!UpdateInstaller(QString()).cleanupOldBackup());
}

void tst_UpdateInstaller::installFolderFromExecutablePath() {
    QTemporaryDir sandbox;
    const QDir root(sandbox.path());
    QVERIFY(root.mkpath(QStringLiteral("opt/Orlavo.app/bin")) &&
            root.mkpath(QStringLiteral("build/src/app")));
    QCOMPARE(
        InstallLocation::appFolderForExecutableDirectory(root.filePath(QStringLiteral("opt/Orlavo.app/bin"))),
        root.filePath(QStringLiteral("opt/Orlavo.app")));
    // A build tree or a distribution package is not an install folder: never swapped.
    QCOMPARE(InstallLocation::appFolderForExecutableDirectory(root.filePath(QStringLiteral("build/src/app"))),
             QString());
}

QTEST_GUILESS_MAIN(tst_UpdateInstaller)
#include "tst_UpdateInstaller.moc"
