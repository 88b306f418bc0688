#include "FakeProcessLauncher.h"
#include "LoopbackHttpServer.h"
#include "TestArchive.h"
#include "VirtualScheduler.h"
#include "platform/common/LibarchiveExtractor.h"
#include "update/UpdateService.h"
#include "update/VersionManifest.h"

#include <QCoroTask>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

using TestArchive::Entry;
using Response = LoopbackHttpServer::Response;
Q_DECLARE_METATYPE(LoopbackHttpServer::Response)

namespace {

constexpr qint64 ourPid = 4242;

class CountingNetworkAccessManager final : public QNetworkAccessManager {
public:
    int requestCount = 0;

protected:
    QNetworkReply* createRequest(Operation operation, const QNetworkRequest& request,
                                 QIODevice* data) override {
        ++requestCount;
        return QNetworkAccessManager::createRequest(operation, request, data);
    }
};

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList entriesOf(const QString& path) {
    return QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                                QDir::Name);
}

QByteArray zipOf(const QList<Entry>& entries) {
    QTemporaryDir directory;
    const QString path = directory.filePath(QStringLiteral("package.zip"));
    return TestArchive::writeZip(path, entries) ? readAll(path) : QByteArray();
}

QByteArray runnablePackage(const QString& version) {
    return zipOf({Entry::file(QStringLiteral("Orlavo.app/bin/orlavo"),
                              "#!/bin/sh\necho " + version.toUtf8() + "\n", 0755),
                  Entry::file(QStringLiteral("Orlavo.app/lib/libdemo.so.1"), "library"),
                  Entry::symlink(QStringLiteral("Orlavo.app/lib/libdemo.so"), "libdemo.so.1")});
}

// One installed Orlavo.app (version 1.0.0) beside a loopback update host.
struct Rig {
    QTemporaryDir sandbox;
    LoopbackHttpServer server;
    CountingNetworkAccessManager network;
    VirtualScheduler scheduler;
    FakeProcessLauncher launcher;
    LibarchiveExtractor extractor;
    QStringList lines;

    Rig() {
        QDir(sandbox.path()).mkpath(QStringLiteral("install"));
        QDir(sandbox.path()).mkpath(QStringLiteral("tmp"));
        TestArchive::makeAppFolder(path(QStringLiteral("install")), QStringLiteral("1.0.0"));
    }

    QString path(const QString& relative) const { return QDir(sandbox.path()).filePath(relative); }
    QString appFolder() const { return path(QStringLiteral("install/Orlavo.app")); }
    QString url(const QString& path) const { return server.url(path); }

    UpdateService::Options options() {
        UpdateService::Options options;
        options.feed = UpdateFeed{QUrl(url(QStringLiteral("/latest.json"))), QStringLiteral("127.0.0.1")};
        options.currentVersion = QStringLiteral("1.0.0");
        options.appFolder = appFolder();
        options.temporaryDirectory = path(QStringLiteral("tmp"));
        options.processId = ourPid;
        options.apiKey = [] { return QStringLiteral("secret-key"); };
        options.printLine = [this](const QString& line) { lines.append(line); };
        return options;
    }

    std::unique_ptr<UpdateService> makeService(UpdateService::Options options) {
        return std::make_unique<UpdateService>(UpdateService::Ports{network, scheduler, launcher, extractor},
                                               std::move(options));
    }
    std::unique_ptr<UpdateService> makeService() { return makeService(options()); }

    void serveFeed(const QString& version, const QString& downloadURL, std::optional<QString> sha256 = {}) {
        VersionManifest manifest;
        manifest.version = version;
        manifest.downloadURL = downloadURL;
        manifest.sha256 = std::move(sha256);
        server.route("/latest.json", Response{.body = manifest.toJson()});
    }

    QByteArray installedExecutable() const { return readAll(appFolder() + QStringLiteral("/bin/orlavo")); }
};

} // namespace

class tst_UpdateService : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void wholeUpdate();
    void checkOutcomes_data();
    void checkOutcomes();
    void installFailures_data();
    void installFailures();
    void unwritableOrMissingInstall();
    void relaunchThatCannotStartKeepsRunning();
    void periodicChecksInVirtualTime();
    void withoutFeedNothingIsRequested();
    void destroyedWhileDownloading();
};

void tst_UpdateService::wholeUpdate() {
    Rig rig;
    // The package as it is published: the packaging script's ZIP and feed document.
    QVERIFY(TestArchive::makeAppFolder(rig.path(QStringLiteral("build")), QStringLiteral("2.0.0")));
    QProcess packaging;
    packaging.start(QStringLiteral("bash"),
                    {qEnvironmentVariable("ORLAVO_SOURCE_DIR") + QStringLiteral("/scripts/package"),
                     QStringLiteral("--app-dir"), rig.path(QStringLiteral("build/Orlavo.app")),
                     QStringLiteral("--version"), QStringLiteral("2.0.0"), QStringLiteral("--download-url"),
                     rig.url(QStringLiteral("/Orlavo-2.0.0.zip")), QStringLiteral("--release-notes"),
                     QStringLiteral("Faster.\n“Fewer” bugs."), QStringLiteral("--output"),
                     rig.path(QStringLiteral("published"))});
    QVERIFY(packaging.waitForFinished(60'000));
    QVERIFY2(packaging.exitCode() == 0, packaging.readAllStandardError().constData());
    rig.server.route("/latest.json",
                     Response{.body = readAll(rig.path(QStringLiteral("published/latest.json")))});
    rig.server.route("/Orlavo-2.0.0.zip",
                     Response{.body = readAll(rig.path(QStringLiteral("published/Orlavo-2.0.0.zip")))});

    auto service = rig.makeService();
    QVERIFY(rig.lines.isEmpty());
    QCoro::waitFor(service->checkForUpdates());
    QCOMPARE(rig.lines, QStringList{QStringLiteral("  🆕 Update available: v2.0.0 (current: v1.0.0)")});
    QVERIFY(service->updateAvailable());
    QCOMPARE(service->latestVersion(), QStringLiteral("2.0.0"));
    QCOMPARE(service->releaseNotes(), QStringLiteral("Faster.\n“Fewer” bugs."));
    QCOMPARE(service->downloadURL(), rig.url(QStringLiteral("/Orlavo-2.0.0.zip")));
    QVERIFY(!rig.server.requests.constLast().headers.contains("authorization"));

    QList<double> progress;
    connect(service.get(), &UpdateService::downloadProgressChanged, this,
            [&] { progress.append(service->downloadProgress()); });
    QSignalSpy quit(service.get(), &UpdateService::quitRequested);
    auto install = service->downloadAndInstall();
    QVERIFY(service->isDownloading());
    QVERIFY(service->downloadAndInstall().isReady()); // a second request while one runs is ignored
    QTRY_COMPARE(service->downloadProgress(), 1.0);
    QCOMPARE(rig.server.requestCount("/Orlavo-2.0.0.zip"), 1);
    QCOMPARE(rig.server.requests.constLast().headers.value("authorization"), QByteArray("Bearer secret-key"));
    QVERIFY(std::is_sorted(progress.cbegin(), progress.cend()));
    QCOMPARE(progress.mid(progress.size() - 4), QList<double>({0.4, 0.6, 0.8, 1.0}));

    // Swapped, with the old version kept beside it and the temporary files gone.
    QVERIFY(rig.installedExecutable().contains("echo 2.0.0"));
    QVERIFY(QFileInfo(rig.appFolder() + QStringLiteral("/bin/orlavo")).isExecutable());
    QCOMPARE(readAll(rig.appFolder() + QStringLiteral("/lib/libdemo.so")), QByteArray("library 2.0.0"));
    QVERIFY(readAll(rig.path(QStringLiteral("install/Orlavo.app.backup/bin/orlavo"))).contains("echo 1.0.0"));
    QCOMPARE(entriesOf(rig.path(QStringLiteral("install"))),
             QStringList({".ov-update-ok", "Orlavo.app", "Orlavo.app.backup"}));
    QCOMPARE(entriesOf(rig.path(QStringLiteral("tmp"))), QStringList());

    // The relaunch comes half a second later, then the request to quit.
    rig.scheduler.advance(0.49);
    QVERIFY(rig.launcher.calls.isEmpty());
    rig.scheduler.advance(0.01);
    QVERIFY(install.isReady());
    QCOMPARE(rig.launcher.calls.size(), 1);
    const FakeProcessLauncher::Call call = rig.launcher.calls.constFirst();
    QCOMPARE(call.program, QStringLiteral("/bin/sh"));
    QCOMPARE(call.arguments, QStringList({"-c", UpdateService::relaunchCommand(rig.appFolder(), ourPid)}));
    QVERIFY(call.detached);
    QCOMPARE(quit.size(), 1);
    QVERIFY(service->isDownloading());
    QCOMPARE(rig.lines.size(), 1);

    // The next launch removes the backup, once.
    service.reset();
    rig.lines.clear();
    service = rig.makeService();
    QCOMPARE(rig.lines, QStringList{QStringLiteral("  🧹 Cleaned up update backup")});
    QCOMPARE(entriesOf(rig.path(QStringLiteral("install"))), QStringList{"Orlavo.app"});
    service = rig.makeService();
    QCOMPARE(rig.lines.size(), 1);
}

void tst_UpdateService::checkOutcomes_data() {
    QTest::addColumn<Response>("feed");
    QTest::addColumn<bool>("feedDown");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("available");
    QTest::addColumn<QString>("latest");

    const auto manifest = [](const char* json) { return Response{.body = QByteArray(json)}; };
    QTest::newRow("feed down") << Response{} << true
                               << "  ⚠️ Update check failed: Could not connect to the server." << true
                               << "2.0.0";
    QTest::newRow("bad JSON")
        << manifest("{\"version\": ") << false
        << "  ⚠️ Update check failed: The data couldn’t be read because it isn’t in the "
           "correct format."
        << true << "2.0.0";
    QTest::newRow("no download_url")
        << manifest(R"({"version":"3.0"})") << false
        << "  ⚠️ Update check failed: The data couldn’t be read because the "
           "value for “download_url” is missing."
        << true << "2.0.0";
    QTest::newRow("server error: silent, nothing changes")
        << Response{.status = 500} << false << "" << true << "2.0.0";
    QTest::newRow("same version: no longer available")
        << manifest(R"({"version":"1.0","download_url":"u"})") << false << "" << false << "2.0.0";
    QTest::newRow("newer still") << manifest(R"({"version":"2.1","download_url":"u"})") << false
                                 << "  🆕 Update available: v2.1 (current: v1.0.0)" << true << "2.1";
}

void tst_UpdateService::checkOutcomes() {
    QFETCH(Response, feed);
    QFETCH(bool, feedDown);
    QFETCH(QString, line);
    QFETCH(bool, available);
    QFETCH(QString, latest);
    Rig rig;
    rig.serveFeed(QStringLiteral("2.0.0"), rig.url(QStringLiteral("/pkg.zip")));
    auto service = rig.makeService();
    QCoro::waitFor(service->checkForUpdates());
    QVERIFY(service->updateAvailable());
    rig.lines.clear();

    rig.server.route("/latest.json", feed);
    if (feedDown) {
        rig.server.stop();
    }
    QSignalSpy finished(service.get(), &UpdateService::checkFinished);
    QCoro::waitFor(service->checkForUpdates());
    QCOMPARE(finished.size(), 1);
    QCOMPARE(rig.lines, line.isEmpty() ? QStringList() : QStringList{line});
    QCOMPARE(service->updateAvailable(), available);
    QCOMPARE(service->latestVersion(), latest);
}

void tst_UpdateService::installFailures_data() {
    QTest::addColumn<QString>("downloadURL"); // %1 is the server's port
    QTest::addColumn<Response>("package");
    QTest::addColumn<QString>("sha256");
    QTest::addColumn<QString>("line"); // a line ending in ": " is a prefix
    QTest::addColumn<bool>("workingDirectoryKept");

    const QString allowed = QStringLiteral("http://127.0.0.1:%1/pkg.zip");
    const Response good{.body = runnablePackage(QStringLiteral("2.0.0"))};
    const QString rejected = QStringLiteral("  ❌ Update rejected: download URL host is not 127.0.0.1");
    const QString unzipFailed = QStringLiteral("  ❌ Update failed: Failed to unzip the update.");
    const QString appNotFound =
        QStringLiteral("  ❌ Update failed: Could not find the app in the update package.");

    QTest::newRow("download URL on another host")
        << "http://localhost:%1/pkg.zip" << good << "" << rejected << false;
    QTest::newRow("package answers 404") << allowed << Response{.status = 404} << ""
                                         << "  ❌ Update download failed: HTTP 404" << false;
    QTest::newRow("redirect to another host")
        << allowed << Response{.status = 302, .headers = {{"Location", "http://localhost:%1/elsewhere.zip"}}}
        << "" << rejected << false;
    QTest::newRow("not an HTTP answer")
        << allowed << Response{.raw = QByteArray("SSH-2.0-OpenSSH_9.2\r\n")} << ""
        << "  ❌ Update failed: " << true;
    QTest::newRow("download cut short")
        << allowed << Response{.body = good.body, .cutAfter = good.body.size() / 2} << ""
        << "  ❌ Update failed: The network connection was lost." << true;
    QTest::newRow("corrupt ZIP") << allowed << Response{.body = "PK\x03\x04 and then nonsense"} << ""
                                 << unzipFailed << true;
    QTest::newRow("ZIP climbing out with ../evil")
        << allowed
        << Response{.body = zipOf({Entry::file(QStringLiteral("Orlavo.app/bin/orlavo"), "#!/bin/sh\n", 0755),
                                   Entry::file(QStringLiteral("../evil"), "gotcha")})}
        << "" << unzipFailed << true;
    QTest::newRow("checksum mismatch")
        << allowed << good << QString(64, QLatin1Char('0'))
        << "  ❌ Update failed: The downloaded update does not match its checksum." << true;
    QTest::newRow("no .app inside")
        << allowed
        << Response{.body = zipOf({Entry::file(QStringLiteral("Orlavo/bin/orlavo"), "#!/bin/sh\n", 0755)})}
        << "" << appNotFound << true;
    QTest::newRow(".app without its program")
        << allowed << Response{.body = zipOf({Entry::file(QStringLiteral("Orlavo.app/README"), "hello")})}
        << "" << appNotFound << true;
}

void tst_UpdateService::installFailures() {
    QFETCH(QString, downloadURL);
    QFETCH(Response, package);
    QFETCH(QString, sha256);
    QFETCH(QString, line);
    QFETCH(bool, workingDirectoryKept);
    Rig rig;
    const QString port = QString::number(rig.server.port());
    for (auto& [name, value] : package.headers) {
        value.replace("%1", port.toUtf8());
    }
    rig.server.route("/pkg.zip", package);
    rig.server.route("/elsewhere.zip", Response{.body = runnablePackage(QStringLiteral("6.6.6"))});
    rig.serveFeed(QStringLiteral("2.0.0"), downloadURL.arg(port),
                  sha256.isEmpty() ? std::nullopt : std::optional(sha256));
    auto service = rig.makeService();
    QCoro::waitFor(service->checkForUpdates());
    QVERIFY(service->updateAvailable());
    rig.lines.clear();

    QSignalSpy downloading(service.get(), &UpdateService::isDownloadingChanged);
    QCoro::waitFor(service->downloadAndInstall());
    QCOMPARE(rig.lines.size(), 1);
    if (line.endsWith(QLatin1String(": "))) {
        QVERIFY2(rig.lines.constFirst().startsWith(line), qPrintable(rig.lines.constFirst()));
    } else {
        QCOMPARE(rig.lines.constFirst(), line);
    }
    QVERIFY(!service->isDownloading());
    QCOMPARE(service->downloadProgress(), 0.0);
    QCOMPARE(rig.server.requestCount("/elsewhere.zip"), 0);
    if (downloadURL.contains(QLatin1String("localhost"))) {
        QCOMPARE(rig.server.requestCount("/pkg.zip"), 0);
        QCOMPARE(downloading.size(), 0); // rejected before any state changed
    }

    // The installed application is untouched and nothing was written beside it.
    QVERIFY(rig.installedExecutable().contains("echo 1.0.0"));
    QCOMPARE(entriesOf(rig.path(QStringLiteral("install"))), QStringList{"Orlavo.app"});
    QVERIFY(rig.launcher.calls.isEmpty());
    const QStringList workingDirectories = entriesOf(rig.path(QStringLiteral("tmp")));
    QCOMPARE(workingDirectories.size(), workingDirectoryKept ? 1 : 0);
    if (workingDirectoryKept) {
        const QStringList contents =
            entriesOf(rig.path(QStringLiteral("tmp/") + workingDirectories.constFirst()));
        QVERIFY2(contents == QStringList{"Orlavo-update.zip"} ||
                     contents == QStringList({"Orlavo-update.zip", "extracted"}),
                 qPrintable(contents.join(QLatin1Char(' '))));
        if (!sha256.isEmpty()) {
            QVERIFY(!contents.contains(QStringLiteral("extracted"))); // refused before unpacking
        }
    }
}

void tst_UpdateService::unwritableOrMissingInstall() {
    const QString notFound =
        QStringLiteral("  ❌ Update failed: Could not locate the current app bundle or it is not writable.");
    {
        // Run from a build tree: there is no install folder to swap.
        Rig rig;
        rig.server.route("/pkg.zip", Response{.body = runnablePackage(QStringLiteral("2.0.0"))});
        rig.serveFeed(QStringLiteral("2.0.0"), rig.url(QStringLiteral("/pkg.zip")));
        auto options = rig.options();
        options.appFolder.clear();
        auto service = rig.makeService(options);
        QCoro::waitFor(service->checkForUpdates());
        QCoro::waitFor(service->downloadAndInstall());
        QCOMPARE(rig.lines.constLast(), notFound);
        QVERIFY(!service->isDownloading());
    }

    Rig rig;
    rig.server.route("/pkg.zip", Response{.body = runnablePackage(QStringLiteral("2.0.0"))});
    rig.serveFeed(QStringLiteral("2.0.0"), rig.url(QStringLiteral("/pkg.zip")));
    const QString parent = rig.path(QStringLiteral("install"));
    // Root writes through permission bits, so there the folder is made read-only by a read-only
    // bind mount in a mount namespace of this test's own.
    bool mounted = false;
    if (::geteuid() == 0) {
        const QByteArray path = QFile::encodeName(parent);
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) != 0 ||
            ::mount(nullptr, path.constData(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
            QSKIP("running as root without the right to mount: a read-only folder cannot be made");
        }
        mounted = true;
    } else {
        QVERIFY(QFile::setPermissions(parent, QFile::ReadOwner | QFile::ExeOwner));
    }
    auto service = rig.makeService();
    QCoro::waitFor(service->checkForUpdates());
    QCoro::waitFor(service->downloadAndInstall());
    QCOMPARE(rig.lines.constLast(), notFound);
    QVERIFY(!service->isDownloading());
    QCOMPARE(service->downloadProgress(), 0.0);
    QVERIFY(rig.installedExecutable().contains("echo 1.0.0"));
    QCOMPARE(entriesOf(parent), QStringList{"Orlavo.app"});
    if (mounted) {
        QCOMPARE(::umount(QFile::encodeName(parent).constData()), 0);
    } else {
        QFile::setPermissions(parent, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

void tst_UpdateService::relaunchThatCannotStartKeepsRunning() {
    Rig rig;
    rig.launcher.failStarts = true;
    rig.server.route("/pkg.zip", Response{.body = runnablePackage(QStringLiteral("2.0.0"))});
    rig.serveFeed(QStringLiteral("2.0.0"), rig.url(QStringLiteral("/pkg.zip")));
    auto service = rig.makeService();
    QSignalSpy quit(service.get(), &UpdateService::quitRequested);
    QCoro::waitFor(service->checkForUpdates());
    auto install = service->downloadAndInstall();
    QTRY_COMPARE(service->downloadProgress(), 1.0);
    rig.scheduler.advance(UpdateService::relaunchDelay);
    QVERIFY(install.isReady());
    QCOMPARE(rig.lines.constLast(), QStringLiteral("  ❌ Update failed: Could not start “/bin/sh”."));
    QCOMPARE(quit.size(), 0);
    QVERIFY(!service->isDownloading());
    QCOMPARE(service->downloadProgress(), 0.0);
    // The new version waits for the next start, which clears the backup as usual.
    QVERIFY(rig.installedExecutable().contains("echo 2.0.0"));
    service.reset();
    service = rig.makeService();
    QCOMPARE(rig.lines.constLast(), QStringLiteral("  🧹 Cleaned up update backup"));
}

void tst_UpdateService::periodicChecksInVirtualTime() {
    Rig rig;
    rig.serveFeed(QStringLiteral("1.0.0"), rig.url(QStringLiteral("/pkg.zip")));
    auto service = rig.makeService();
    QSignalSpy finished(service.get(), &UpdateService::checkFinished);
    service->startPeriodicChecks();
    rig.scheduler.advance(4.99);
    QCOMPARE(rig.network.requestCount, 0);
    rig.scheduler.advance(0.01);
    QTRY_COMPARE(finished.size(), 1);
    // The next check is due four hours after the first one ended.
    rig.scheduler.advance(14'399.9);
    QCOMPARE(rig.network.requestCount, 1);
    rig.scheduler.advance(0.1);
    QTRY_COMPARE(finished.size(), 2);
    rig.scheduler.advance(14'400);
    QTRY_COMPARE(finished.size(), 3);

    service->stopPeriodicChecks();
    rig.scheduler.advance(10 * 14'400);
    QCOMPARE(rig.network.requestCount, 3);
    QCOMPARE(rig.scheduler.pendingCount(), std::size_t(0));

    // Stopped while a check runs: that check ends, and no other follows.
    service->startPeriodicChecks();
    rig.scheduler.advance(5);
    service->stopPeriodicChecks();
    QTRY_COMPARE(finished.size(), 4);
    rig.scheduler.advance(10 * 14'400);
    QCOMPARE(rig.network.requestCount, 4);
    QCOMPARE(rig.server.requestCount("/latest.json"), 4);
    QVERIFY(rig.lines.isEmpty());
}

void tst_UpdateService::withoutFeedNothingIsRequested() {
    Rig rig;
    auto options = rig.options();
    options.feed = UpdateFeed{QUrl(QStringLiteral("http://updates.example.com/latest.json")),
                              QStringLiteral("updates.example.com")}; // plain http off this machine
    auto service = rig.makeService(options);
    QVERIFY(!service->isConfigured());
    service->startPeriodicChecks();
    QCoro::waitFor(service->checkForUpdates());
    QCoro::waitFor(service->downloadAndInstall());
    rig.scheduler.advance(100'000);
    QCOMPARE(rig.lines, QStringList({"  ⚠️ Update check failed: Updates are not configured",
                                     "  ⚠️ Update check failed: Updates are not configured",
                                     "  ❌ Update failed: Updates are not configured"}));
    QCOMPARE(rig.network.requestCount, 0);
    QVERIFY(!service->isDownloading());
}

void tst_UpdateService::destroyedWhileDownloading() {
    Rig rig;
    rig.server.route("/pkg.zip", Response{.body = runnablePackage(QStringLiteral("2.0.0"))});
    rig.serveFeed(QStringLiteral("2.0.0"), rig.url(QStringLiteral("/pkg.zip")));
    auto service = rig.makeService();
    QCoro::waitFor(service->checkForUpdates());
    auto install = service->downloadAndInstall();
    auto check = service->checkForUpdates();
    QVERIFY(!install.isReady() && !check.isReady());
    service.reset();
    QVERIFY(install.isReady() && check.isReady());
    rig.scheduler.advance(10);
    QCoreApplication::processEvents();
    QVERIFY(rig.launcher.calls.isEmpty());
    QVERIFY(rig.installedExecutable().contains("echo 1.0.0"));
}

QTEST_GUILESS_MAIN(tst_UpdateService)
#include "tst_UpdateService.moc"
