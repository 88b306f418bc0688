#include "TemporaryEnvironment.h"
#include "TestArchive.h"
#include "core/update/InstallLocation.h"
#include "core/update/UpdateInstaller.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>

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
    QTest::addColumn<int>("exchangeError");         // 0: the real atomic exchange
    QTest::addColumn<QList<int>>("failingRenames"); // 1-based
    QTest::addColumn<QByteArray>("installedAfter");
    QTest::addColumn<QByteArray>("backupAfter");
    QTest::addColumn<QString>("error"); // a part of it; empty: success
    // With the exchange, renames in order: new folder → staging, old folder (now at staging) → backup.
    QTest::newRow("atomic exchange") << 0 << QList<int>{} << QByteArray("2.0") << QByteArray("1.0") << "";
    QTest::newRow("unpacked on another file system: copied")
        << 0 << QList<int>{1} << QByteArray("2.0") << QByteArray("1.0") << "";
    QTest::newRow("exchange fails for another reason: nothing moved")
        << EIO << QList<int>{} << QByteArray("1.0") << QByteArray() << "Could not exchange";
    // Without it: new folder → staging, installed → backup, staging → installed, backup → installed.
    QTest::newRow("two renames") << EINVAL << QList<int>{} << QByteArray("2.0") << QByteArray("1.0") << "";
    QTest::newRow("two renames: installed folder cannot be moved aside")
        << EINVAL << QList<int>{2} << QByteArray("1.0") << QByteArray() << "Could not move";
    QTest::newRow("two renames: failure between them, moved back")
        << EINVAL << QList<int>{3} << QByteArray("1.0") << QByteArray() << "into place at";
    // Stands for a crash between the renames as well: the same folders are left.
    QTest::newRow("two renames: moving back fails too, the next start restores")
        << EINVAL << QList<int>{3, 4} << QByteArray() << QByteArray("1.0") << "previous version is kept at";
}

void tst_UpdateInstaller::swap() {
    QFETCH(int, exchangeError);
    QFETCH(QList<int>, failingRenames);
    QFETCH(QByteArray, installedAfter);
    QFETCH(QByteArray, backupAfter);
    QFETCH(QString, error);

    QTemporaryDir sandbox;
    QVERIFY(TestArchive::makeAppFolder(sandbox.filePath("install"), "1.0"));
    QVERIFY(TestArchive::makeAppFolder(sandbox.filePath("extracted"), "2.0"));
    const QString installed = sandbox.filePath("install/Orlavo.app");
    int renames = 0;
    const auto rename = [&](const QString& from, const QString& to) {
        return !failingRenames.contains(++renames) && QDir().rename(from, to);
    };
    const auto exchange = [&](const QString& first, const QString& second) {
        if (exchangeError != 0) {
            return exchangeError;
        }
        return ::renameat2(AT_FDCWD, QFile::encodeName(first).constData(), AT_FDCWD,
                           QFile::encodeName(second).constData(), RENAME_EXCHANGE) == 0
                   ? 0
                   : errno;
    };
    const UpdateInstaller installer(installed, rename, exchange);
    const auto newApp = installer.findNewApp(sandbox.filePath("extracted"));
    QVERIFY(newApp.ok());
    const auto result = installer.swapIn(newApp.value(), "2.0");
    QCOMPARE(result.ok(), error.isEmpty());
    QVERIFY(result.ok() || result.error().description.contains(error));

    QCOMPARE(versionAt(installed), installedAfter);
    QCOMPARE(versionAt(installer.backupPath()), backupAfter);
    QCOMPARE(QFileInfo::exists(installer.pendingMarkerPath()), result.ok());
    // The staged copy never survives a failure that left the old version in place.
    QCOMPARE(QFileInfo::exists(installer.stagingPath()), installedAfter.isEmpty());
    if (result.ok()) {
        QVERIFY(QFileInfo(installed + "/bin/orlavo").isExecutable());
        QCOMPARE(QFileInfo(installed + "/lib/libdemo.so").symLinkTarget(), installed + "/lib/libdemo.so.1");
    }
    // The next start always finds one working installation.
    QCOMPARE(UpdateInstaller(installed).recoverInterruptedSwap(), installedAfter.isEmpty());
    QCOMPARE(versionAt(installed), installedAfter.isEmpty() ? QByteArray("1.0") : installedAfter);
}

void tst_UpdateInstaller::backupCleanup() {
    QTemporaryDir sandbox;
    QVERIFY(TestArchive::makeAppFolder(sandbox.filePath("install"), "2.0"));
    QVERIFY(QDir(sandbox.path()).mkpath("elsewhere") && touch(sandbox.filePath("elsewhere/file")));
    const UpdateInstaller installer(sandbox.filePath("install/Orlavo.app"));
    const auto writeFile = [](const QString& path, const QByteArray& content) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    };

    // A backup without a marker is an interrupted update: kept.
    QVERIFY(QDir().mkpath(installer.backupPath() + "/bin"));
    QVERIFY(!installer.cleanupOldBackup("2.0"));
    // Pending for 2.0: the old version starting again keeps it, the new one removes it.
    QVERIFY(writeFile(installer.pendingMarkerPath(), "2.0"));
    QVERIFY(!installer.cleanupOldBackup("1.0"));
    QVERIFY(QFileInfo::exists(installer.backupPath()));
    QVERIFY(installer.cleanupOldBackup("2.0"));
    QVERIFY(!QFileInfo::exists(installer.backupPath()) && !QFileInfo::exists(installer.pendingMarkerPath()));
    QVERIFY(!installer.cleanupOldBackup("2.0"));

    // The marker of an older release; a backup name that is a link: the link goes, never what it
    // points to.
    QVERIFY(QFile::link(sandbox.filePath("elsewhere"), installer.backupPath()));
    QVERIFY(touch(installer.successMarkerPath()));
    QVERIFY(installer.cleanupOldBackup("2.0"));
    QVERIFY(!QFileInfo(installer.backupPath()).isSymLink());
    QVERIFY(QFileInfo::exists(sandbox.filePath("elsewhere/file")));
    QCOMPARE(versionAt(installer.appFolder()), "2.0");

    // Not installed as a folder: nothing to clean, whatever lies around.
    QVERIFY(!UpdateInstaller(QString()).cleanupOldBackup("2.0"));
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
