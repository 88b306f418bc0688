#include "TemporaryEnvironment.h"
#include "TestArchive.h"
#include "update/InstallLocation.h"
#include "update/UpdateInstaller.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The version an install folder's program prints; empty when there is none.
QByteArray versionAt(const QString& appFolder) {
    return TemporaryEnvironment::read(appFolder + "/bin/orlavo").split(' ').value(1).trimmed();
}

bool touch(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

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
    QTest::addColumn<QList<int>>("failingRenames"); // 1-based
    QTest::addColumn<QByteArray>("installedAfter");
    QTest::addColumn<QByteArray>("backupAfter");
    QTest::addColumn<QString>("error"); // a part of it; empty: success
    // Renames in order: new folder → staging, installed → backup, staging → installed, backup → installed.
    QTest::newRow("same file system") << QList<int>{} << QByteArray("2.0") << QByteArray("1.0") << "";
    QTest::newRow("unpacked on another file system: copied")
        << QList<int>{1} << QByteArray("2.0") << QByteArray("1.0") << "";
    QTest::newRow("installed folder cannot be moved aside")
        << QList<int>{2} << QByteArray("1.0") << QByteArray() << "Could not move";
    QTest::newRow("failure between the two moves: moved back")
        << QList<int>{3} << QByteArray("1.0") << QByteArray() << "into place at";
    QTest::newRow("moving back fails too: the backup is named")
        << QList<int>{3, 4} << QByteArray() << QByteArray("1.0") << "previous version is kept at";
}

void tst_UpdateInstaller::swap() {
    QFETCH(QList<int>, failingRenames);
    QFETCH(QByteArray, installedAfter);
    QFETCH(QByteArray, backupAfter);
    QFETCH(QString, error);

    QTemporaryDir sandbox;
    QVERIFY(TestArchive::makeAppFolder(sandbox.filePath("install"), "1.0"));
    QVERIFY(TestArchive::makeAppFolder(sandbox.filePath("extracted"), "2.0"));
    const QString installed = sandbox.filePath("install/Orlavo.app");
    int renames = 0;
    const UpdateInstaller installer(installed, [&](const QString& from, const QString& to) {
        return !failingRenames.contains(++renames) && QDir().rename(from, to);
    });
    const auto newApp = installer.findNewApp(sandbox.filePath("extracted"));
    QVERIFY(newApp.ok());
    const auto result = installer.swapIn(newApp.value());
    QCOMPARE(result.ok(), error.isEmpty());
    QVERIFY(result.ok() || result.error().description.contains(error));

    QCOMPARE(versionAt(installed), installedAfter);
    QCOMPARE(versionAt(installer.backupPath()), backupAfter);
    QCOMPARE(QFileInfo::exists(installer.successMarkerPath()), result.ok());
    // The staged copy never survives a failure that left the old version in place.
    QCOMPARE(QFileInfo::exists(installer.stagingPath()), installedAfter.isEmpty());
    if (result.ok()) {
        QVERIFY(QFileInfo(installed + "/bin/orlavo").isExecutable());
        QCOMPARE(QFileInfo(installed + "/lib/libdemo.so").symLinkTarget(), installed + "/lib/libdemo.so.1");
    }
}

void tst_UpdateInstaller::backupCleanup() {
    QTemporaryDir sandbox;
    QVERIFY(TestArchive::makeAppFolder(sandbox.filePath("install"), "2.0"));
    QVERIFY(QDir(sandbox.path()).mkpath("elsewhere") && touch(sandbox.filePath("elsewhere/file")));
    const UpdateInstaller installer(sandbox.filePath("install/Orlavo.app"));

    // A backup without the marker is an interrupted update: kept.
    QVERIFY(QDir().mkpath(installer.backupPath() + "/bin"));
    QVERIFY(!installer.cleanupOldBackup());
    QVERIFY(QFileInfo::exists(installer.backupPath()));
    QVERIFY(touch(installer.successMarkerPath()));
    QVERIFY(installer.cleanupOldBackup());
    QVERIFY(!QFileInfo::exists(installer.backupPath()) && !QFileInfo::exists(installer.successMarkerPath()));
    QVERIFY(!installer.cleanupOldBackup());

    // A backup name that is a link: the link goes, never what it points to.
    QVERIFY(QFile::link(sandbox.filePath("elsewhere"), installer.backupPath()));
    QVERIFY(touch(installer.successMarkerPath()));
    QVERIFY(installer.cleanupOldBackup());
    QVERIFY(!QFileInfo(installer.backupPath()).isSymLink());
    QVERIFY(QFileInfo::exists(sandbox.filePath("elsewhere/file")));
    QCOMPARE(versionAt(installer.appFolder()), "2.0");

    // Not installed as a folder: nothing to clean, whatever lies around.
    QVERIFY(!UpdateInstaller(QString()).cleanupOldBackup());
}

void tst_UpdateInstaller::installFolderFromExecutablePath() {
    QTemporaryDir sandbox;
    QVERIFY(QDir(sandbox.path()).mkpath("opt/Orlavo.app/bin") &&
            QDir(sandbox.path()).mkpath("build/src/app"));
    QCOMPARE(InstallLocation::appFolderForExecutableDirectory(sandbox.filePath("opt/Orlavo.app/bin")),
             sandbox.filePath("opt/Orlavo.app"));
    // A build tree or a distribution package is not an install folder: never swapped.
    QCOMPARE(InstallLocation::appFolderForExecutableDirectory(sandbox.filePath("build/src/app")), QString());
}

QTEST_GUILESS_MAIN(tst_UpdateInstaller)
#include "tst_UpdateInstaller.moc"
