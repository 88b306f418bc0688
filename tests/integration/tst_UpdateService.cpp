#include "FakeProcessLauncher.h"
#include "LoopbackHttpServer.h"
#include "TemporaryEnvironment.h"
#include "TestArchive.h"
#include "TestSigningKey.h"
#include "VirtualScheduler.h"
#include "core/update/UpdateService.h"
#include "core/update/VersionManifest.h"
#include "platform/common/LibarchiveExtractor.h"

#include <QCoroTask>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <unistd.h>

using TestArchive::Entry;
using Reply = LoopbackHttpServer::Reply;
Q_DECLARE_METATYPE(LoopbackHttpServer::Reply)

namespace {

constexpr qint64 ourPid = 4242;
constexpr auto readAll = &TemporaryEnvironment::read;

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

QStringList entriesOf(const QString& path) {
    return QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

QByteArray zipOf(const QList<Entry>& entries) {
    QTemporaryDir directory;
    const QString path = directory.filePath("package.zip");
    return TestArchive::writeZip(path, entries) ? readAll(path) : QByteArray();
}

QByteArray runnablePackage(const QByteArray& version) {
    return zipOf({Entry::file("Orlavo.app/bin/orlavo", "#!/bin/sh\necho " + version + "\n", 0755),
                  Entry::file("Orlavo.app/lib/libdemo.so.1", "library " + version),
                  Entry::symlink("Orlavo.app/lib/libdemo.so", "libdemo.so.1")});
}

const QStringList untouched{"Orlavo.app 1.0.0"};

// Every path under `root`, so that a stray file anywhere shows.
QStringList treeOf(const QString& root) {
    QStringList paths;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        paths.append(it.next().mid(root.size()));
    }
    paths.sort();
    return paths;
}

// A feed for 2.0.0 announcing `package` at `url`; `sizeDelta` misstates its size.
QByteArray feedFor(const QString& url, const QByteArray& package, const QString& sha256 = {},
                   qint64 sizeDelta = 0) {
    const QString hash =
        sha256.isEmpty() ? QCryptographicHash::hash(package, QCryptographicHash::Sha256).toHex() : sha256;
    return VersionManifest{"2.0.0", {}, {}, hash, package.size() + sizeDelta, {}, url}.toJson();
}

// One installed Orlavo.app (version 1.0.0) beside a loopback update host.
struct Rig {
    QTemporaryDir sandbox;
    LoopbackHttpServer server;
    CountingNetworkAccessManager network;
    VirtualScheduler scheduler;
    FakeProcessLauncher launcher;
    LibarchiveExtractor extractor{{.maxEntries = 100, .maxBytes = 1024 * 1024}};
    TestSigningKey key;
    QStringList lines;
    UpdateService::Options options;

    Rig() {
        QDir(sandbox.path()).mkpath("tmp");
        TestArchive::makeAppFolder(path("install"), "1.0.0");
        options.feed = UpdateFeed{QUrl(server.url("/latest.json")), "127.0.0.1", key.publicKey()};
        options.currentVersion = "1.0.0";
        options.appFolder = path("install/Orlavo.app");
        options.temporaryDirectory = path("tmp");
        options.processId = ourPid;
        options.apiKey = [] { return QStringLiteral("secret-key"); };
        options.printLine = [this](const QString& line) { lines.append(line); };
    }

    QString path(const QString& relative) const { return sandbox.filePath(relative); }
    // What lies beside the installed folder, with the version each program prints.
    QStringList installation() const {
        QStringList found;
        for (const QString& name : entriesOf(path("install"))) {
            const QByteArray version = readAll(path("install/" + name + "/bin/orlavo")).split(' ').value(1);
            found.append((name + ' ' + version.trimmed()).trimmed());
        }
        return found;
    }

    std::unique_ptr<UpdateService> makeService() {
        return std::make_unique<UpdateService>(UpdateService::Ports{network, scheduler, launcher, extractor},
                                               options);
    }
    // Serves `feed` signed with our key.
    void publish(const QByteArray& feed) {
        server.route("/latest.json", {{.body = feed}});
        server.route("/latest.json.sig", {{.body = key.signatureFile(feed)}});
    }
    // The feed offers `package` (by default a good one) as 2.0.0 on this server.
    void serveFeed(const QByteArray& package = runnablePackage("2.0.0")) {
        publish(feedFor(server.url("/pkg.zip"), package));
        server.route("/pkg.zip", {{.body = package}});
    }
    // A service that has already seen the update.
    std::unique_ptr<UpdateService> checkedService() {
        auto service = makeService();
        QCoro::waitFor(service->checkForUpdates());
        lines.clear();
        return service;
    }
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
    void installFolderNotOurs();
    void relaunchThatCannotStartKeepsRunning();
    void periodicChecksInVirtualTime();
    void withoutFeedNothingIsRequested();
    void destroyedWhileDownloading();
};

void tst_UpdateService::wholeUpdate() {
    Rig rig;
    // The package as it is published: the packaging script's ZIP and feed document.
    QVERIFY(TestArchive::makeAppFolder(rig.path("build"), "2.0.0"));
    QProcess packaging;
    packaging.start("bash", {qEnvironmentVariable("ORLAVO_SOURCE_DIR") + "/scripts/package", "--app-dir",
                             rig.path("build/Orlavo.app"), "--version", "2.0.0", "--download-url",
                             rig.server.url("/Orlavo-2.0.0.zip"), "--release-notes", "Faster.\n“Fewer” bugs.",
                             "--output", rig.path("published")});
    QVERIFY(packaging.waitForFinished(60'000));
    QVERIFY2(packaging.exitCode() == 0, packaging.readAllStandardError().constData());
    // Signed by the publisher's key with the publisher's script.
    QVERIFY(rig.key.writePem(rig.path("signing.pem")));
    QProcess signing;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ORLAVO_UPDATE_SIGNING_KEY", rig.path("signing.pem"));
    signing.setProcessEnvironment(environment);
    signing.start("bash", {qEnvironmentVariable("ORLAVO_SOURCE_DIR") + "/scripts/sign-update",
                           rig.path("published/latest.json")});
    QVERIFY(signing.waitForFinished(60'000));
    QVERIFY2(signing.exitCode() == 0, signing.readAllStandardError().constData());
    rig.server.route("/latest.json", {{.body = readAll(rig.path("published/latest.json"))}});
    rig.server.route("/latest.json.sig", {{.body = readAll(rig.path("published/latest.json.sig"))}});
    rig.server.route("/Orlavo-2.0.0.zip", {{.body = readAll(rig.path("published/Orlavo-2.0.0.zip"))}});

    auto service = rig.makeService();
    QCoro::waitFor(service->checkForUpdates());
    QCOMPARE(rig.lines, QStringList{"  🆕 Update available: v2.0.0 (current: v1.0.0)"});
    QVERIFY(service->updateAvailable());
    QCOMPARE(QStringList({service->latestVersion(), service->releaseNotes(), service->downloadURL()}),
             QStringList({"2.0.0", "Faster.\n“Fewer” bugs.", rig.server.url("/Orlavo-2.0.0.zip")}));

    QList<double> progress;
    connect(service.get(), &UpdateService::downloadProgressChanged, this,
            [&] { progress.append(service->downloadProgress()); });
    QSignalSpy quit(service.get(), &UpdateService::quitRequested);
    auto install = service->downloadAndInstall();
    QVERIFY(service->isDownloading());
    QVERIFY(service->downloadAndInstall().isReady()); // a second request while one runs is ignored
    QTRY_COMPARE(service->downloadProgress(), 1.0);
    QVERIFY(std::is_sorted(progress.cbegin(), progress.cend()));
    QCOMPARE(progress.mid(progress.size() - 4), QList<double>({0.4, 0.6, 0.8, 1.0}));
    // Only the download carries the credential.
    QCOMPARE(rig.server.requests.size(), 3);
    QVERIFY(!rig.server.requests[0].headers.contains("authorization"));
    QVERIFY(!rig.server.requests[1].headers.contains("authorization"));
    QCOMPARE(rig.server.requests[2].headers.value("authorization"), "Bearer secret-key");

    // Swapped, runnable, with the old version kept beside it and the temporary files gone.
    QCOMPARE(rig.installation(),
             QStringList({".ov-update-pending", "Orlavo.app 2.0.0", "Orlavo.app.backup 1.0.0"}));
    QVERIFY(QFileInfo(rig.options.appFolder + "/bin/orlavo").isExecutable());
    QCOMPARE(readAll(rig.options.appFolder + "/lib/libdemo.so"), "library 2.0.0");
    QCOMPARE(entriesOf(rig.path("tmp")), QStringList());

    // The relaunch comes half a second later, then the request to quit.
    rig.scheduler.advance(0.49);
    QVERIFY(rig.launcher.calls.isEmpty());
    rig.scheduler.advance(0.01);
    QVERIFY(install.isReady());
    QCOMPARE(rig.launcher.calls.size(), 1);
    const FakeProcessLauncher::Call call = rig.launcher.calls.constFirst();
    QCOMPARE(call.program, "/bin/sh");
    QCOMPARE(call.arguments,
             QStringList({"-c", UpdateService::relaunchCommand(rig.options.appFolder, ourPid)}));
    QVERIFY(call.detached);
    QCOMPARE(quit.size(), 1);
    QCOMPARE(rig.lines.size(), 1);
}

void tst_UpdateService::checkOutcomes_data() {
    QTest::addColumn<Reply>("feed");       // status 0: the host is down
    QTest::addColumn<QString>("signedBy"); // "us", "another key", "nobody" (the .sig answers 404)
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("available");

    const QByteArray sameVersion = R"({"version":"1.0","download_url":"u"})";
    const QByteArray noChecksum = R"({"version":"3.0","download_url":"http://127.0.0.1/x.zip","size":9})";
    QTest::newRow("feed down") << Reply{.status = 0} << "us"
                               << "  ⚠️ Update check failed: Could not connect to the server." << true;
    QTest::newRow("bad JSON")
        << Reply{.body = "{\"version\": "} << "us"
        << "  ⚠️ Update check failed: The data couldn’t be read because it isn’t in "
           "the correct format."
        << true;
    QTest::newRow("server error: silent, nothing changes") << Reply{.status = 500} << "us"
                                                           << "" << true;
    QTest::newRow("same version: no longer available") << Reply{.body = sameVersion} << "us"
                                                       << "" << false;
    // A feed nobody vouches for is not believed at all, not even to withdraw an update.
    QTest::newRow("unsigned feed") << Reply{.body = sameVersion} << "nobody"
                                   << "  ❌ Update failed: The update feed is not signed." << true;
    QTest::newRow("signed by another key")
        << Reply{.body = sameVersion} << "another key"
        << "  ❌ Update failed: The update feed’s signature is not valid." << true;
    QTest::newRow("newer version without checksum")
        << Reply{.body = noChecksum} << "us"
        << "  ❌ Update failed: The update feed does not give the package’s checksum and size." << true;
}

void tst_UpdateService::checkOutcomes() {
    QFETCH(Reply, feed);
    QFETCH(QString, signedBy);
    QFETCH(QString, line);
    QFETCH(bool, available);
    Rig rig;
    rig.serveFeed();
    auto service = rig.checkedService();
    QVERIFY(service->updateAvailable());

    rig.publish(feed.body);
    rig.server.route("/latest.json", {feed});
    if (signedBy == "nobody") {
        rig.server.route("/latest.json.sig", {{.status = 404}});
    } else if (signedBy == "another key") {
        rig.server.route("/latest.json.sig", {{.body = TestSigningKey().signatureFile(feed.body)}});
    }
    if (feed.status == 0) {
        rig.server.stop();
    }
    QSignalSpy finished(service.get(), &UpdateService::checkFinished);
    QCoro::waitFor(service->checkForUpdates());
    QCOMPARE(finished.size(), 1);
    QCOMPARE(rig.lines, line.isEmpty() ? QStringList() : QStringList{line});
    QCOMPARE(service->updateAvailable(), available);
    QCOMPARE(service->latestVersion(), "2.0.0");
}

void tst_UpdateService::installFailures_data() {
    QTest::addColumn<QString>("downloadURL"); // %1 is the server's port
    QTest::addColumn<Reply>("package");
    QTest::addColumn<QString>("sha256");
    QTest::addColumn<qint64>("sizeDelta"); // what the feed adds to the package's real size
    QTest::addColumn<QString>("line");

    const QString allowed = "http://127.0.0.1:%1/pkg.zip";
    const Reply good{.body = runnablePackage("2.0.0")};
    const QString rejected = "  ❌ Update rejected: download URL host is not 127.0.0.1";
    const QString lost = "  ❌ Update failed: The network connection was lost.";
    const QString unzipFailed = "  ❌ Update failed: Failed to unzip the update.";
    const QString wrongSize = "  ❌ Update failed: The downloaded update does not have the announced size.";
    const QString tooLarge = "  ❌ Update failed: The update package is too large to unpack.";

    QTest::newRow("download URL on another host")
        << "http://localhost:%1/pkg.zip" << good << "" << 0ll << rejected;
    QTest::newRow("package answers 404")
        << allowed << Reply{.status = 404} << "" << 0ll << "  ❌ Update download failed: HTTP 404";
    QTest::newRow("redirect to another host")
        << allowed << Reply{.status = 302, .headers = {{"Location", "http://localhost:%1/elsewhere.zip"}}}
        << "" << 0ll << rejected;
    QTest::newRow("download cut short")
        << allowed << Reply{.body = good.body, .cutAfter = good.body.size() / 2} << "" << 0ll << lost;
    QTest::newRow("checksum mismatch: refused before unpacking")
        << allowed << good << QString(64, '0') << 0ll
        << "  ❌ Update failed: The downloaded update does not match its checksum.";
    QTest::newRow("larger than announced: stopped at the size") << allowed << good << "" << -1ll << wrongSize;
    QTest::newRow("shorter than announced") << allowed << good << "" << 1ll << wrongSize;
    QTest::newRow("corrupt ZIP") << allowed << Reply{.body = "PK\x03\x04 and then nonsense"} << "" << 0ll
                                 << unzipFailed;
    QTest::newRow("ZIP climbing out with ../evil")
        << allowed
        << Reply{.body = zipOf({Entry::file("Orlavo.app/bin/orlavo", "#!/bin/sh\n", 0755),
                                Entry::file("../evil", "gotcha"), Entry::file("../../evil", "gotcha")})}
        << "" << 0ll << unzipFailed;
    QTest::newRow("link chain leading out")
        << allowed
        << Reply{.body = zipOf({Entry::file("Orlavo.app/bin/orlavo", "#!/bin/sh\n", 0755),
                                Entry::symlink("Orlavo.app/a", "b"), Entry::symlink("Orlavo.app/b", "../.."),
                                Entry::file("Orlavo.app/a/evil", "gotcha")})}
        << "" << 0ll << unzipFailed;
    QTest::newRow("bomb") << allowed
                          << Reply{.body =
                                       zipOf({Entry::file("Orlavo.app/bin/orlavo", "#!/bin/sh\n", 0755),
                                              Entry::file("Orlavo.app/zeros", QByteArray(2 << 20, '\0'))})}
                          << "" << 0ll << tooLarge;
    QList<Entry> crowd{Entry::file("Orlavo.app/bin/orlavo", "#!/bin/sh\n", 0755)};
    for (int i = 0; i < 200; ++i) {
        crowd.append(Entry::file(QString("Orlavo.app/f%1").arg(i), ""));
    }
    QTest::newRow("too many entries") << allowed << Reply{.body = zipOf(crowd)} << "" << 0ll << tooLarge;
    QTest::newRow(".app without its program")
        << allowed << Reply{.body = zipOf({Entry::file("Orlavo.app/README", "hello")})} << "" << 0ll
        << "  ❌ Update failed: Could not find the app in the update package.";
    // Run from a build tree or a distribution package: there is no install folder to swap.
    QTest::newRow("not installed as a folder")
        << "" << good << "" << 0ll
        << "  ❌ Update failed: Could not locate the current app bundle or it is not writable.";
}

void tst_UpdateService::installFailures() {
    QFETCH(QString, downloadURL);
    QFETCH(Reply, package);
    QFETCH(QString, sha256);
    QFETCH(qint64, sizeDelta);
    QFETCH(QString, line);
    Rig rig;
    const QString port = QString::number(rig.server.port());
    for (auto& [name, value] : package.headers) {
        value.replace("%1", port.toUtf8());
    }
    const QString url = downloadURL.isEmpty() ? rig.server.url("/pkg.zip") : downloadURL.arg(port);
    // An answer without a body (404, a redirect) stands in for a good package.
    rig.publish(
        feedFor(url, package.body.isEmpty() ? runnablePackage("2.0.0") : package.body, sha256, sizeDelta));
    rig.server.route("/pkg.zip", {package});
    rig.server.route("/elsewhere.zip", {{.body = runnablePackage("6.6.6")}});
    if (downloadURL.isEmpty()) {
        rig.options.appFolder.clear();
    }
    auto service = rig.checkedService();
    const QStringList before = treeOf(rig.sandbox.path());
    QSignalSpy downloading(service.get(), &UpdateService::isDownloadingChanged);
    // An installation that went through would wait for the relaunch instead.
    auto install = service->downloadAndInstall();
    QTRY_VERIFY(install.isReady());

    QCOMPARE(rig.lines, QStringList{line});
    QVERIFY(!service->isDownloading());
    QCOMPARE(service->downloadProgress(), 0.0);
    // Nothing is fetched from another host, and a refused address is not even asked.
    QVERIFY(rig.server.requestsTo("/elsewhere.zip").isEmpty());
    if (downloadURL.contains("localhost")) {
        QVERIFY(rig.server.requestsTo("/pkg.zip").isEmpty());
        QCOMPARE(downloading.size(), 0);
    }
    // One working installation, nothing written anywhere, and the working folder gone.
    QCOMPARE(rig.installation(), untouched);
    QVERIFY(rig.launcher.calls.isEmpty());
    QCOMPARE(treeOf(rig.sandbox.path()), before);
}

void tst_UpdateService::installFolderNotOurs() {
    Rig rig;
    rig.serveFeed();
    const QString parent = rig.path("install");
    // Root writes through permission bits, so there the folder is handed to another user instead:
    // either way it is a folder this user must not replace.
    if (::geteuid() == 0) {
        QCOMPARE(::chown(QFile::encodeName(rig.options.appFolder).constData(), 65534, 65534), 0);
    } else {
        QVERIFY(QFile::setPermissions(parent, QFile::ReadOwner | QFile::ExeOwner));
    }
    auto service = rig.checkedService();
    auto install = service->downloadAndInstall();
    QTRY_VERIFY(install.isReady());
    QCOMPARE(
        rig.lines,
        QStringList{"  ❌ Update failed: Could not locate the current app bundle or it is not writable."});
    QVERIFY(!service->isDownloading() && service->downloadProgress() == 0.0);
    QCOMPARE(rig.installation(), untouched);
    QVERIFY(QFile::setPermissions(parent, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

void tst_UpdateService::relaunchThatCannotStartKeepsRunning() {
    Rig rig;
    rig.launcher.failStarts = true;
    rig.serveFeed();
    auto service = rig.checkedService();
    QSignalSpy quit(service.get(), &UpdateService::quitRequested);
    auto install = service->downloadAndInstall();
    QTRY_COMPARE(service->downloadProgress(), 1.0);
    rig.scheduler.advance(UpdateService::relaunchDelay);
    QVERIFY(install.isReady());
    QCOMPARE(rig.lines, QStringList{"  ❌ Update failed: Could not start “/bin/sh”."});
    QCOMPARE(quit.size(), 0);
    QVERIFY(!service->isDownloading() && service->downloadProgress() == 0.0);

    // The backup stays until the new version itself starts, which removes it, once.
    service.reset();
    rig.lines.clear();
    service = rig.makeService();
    QCOMPARE(rig.installation(),
             QStringList({".ov-update-pending", "Orlavo.app 2.0.0", "Orlavo.app.backup 1.0.0"}));
    rig.options.currentVersion = "2.0.0";
    service = rig.makeService();
    service = rig.makeService();
    QCOMPARE(rig.lines, QStringList{"  🧹 Cleaned up update backup"});
    QCOMPARE(rig.installation(), QStringList{"Orlavo.app 2.0.0"});
}

void tst_UpdateService::periodicChecksInVirtualTime() {
    Rig rig;
    rig.publish(R"({"version":"1.0.0","download_url":"u"})");
    auto service = rig.makeService();
    QSignalSpy finished(service.get(), &UpdateService::checkFinished);
    service->startPeriodicChecks();
    rig.scheduler.advance(4.99);
    QCOMPARE(rig.network.requestCount, 0);
    rig.scheduler.advance(0.01);
    QTRY_COMPARE(finished.size(), 1);
    // The next check is due four hours after the first one ended.
    rig.scheduler.advance(14'399.9);
    QCOMPARE(rig.network.requestCount, 2); // the feed and its signature
    rig.scheduler.advance(0.1);
    QTRY_COMPARE(finished.size(), 2);

    // Stopped while a check runs: that check ends, and no other follows.
    rig.scheduler.advance(14'400);
    service->stopPeriodicChecks();
    QTRY_COMPARE(finished.size(), 3);
    rig.scheduler.advance(10 * 14'400);
    QCOMPARE(rig.network.requestCount, 6);
    QCOMPARE(rig.scheduler.pendingCount(), std::size_t(0));
    QVERIFY(rig.lines.isEmpty());
}

void tst_UpdateService::withoutFeedNothingIsRequested() {
    Rig rig;
    // Plain http off this machine is no feed.
    rig.options.feed = UpdateFeed{QUrl("http://updates.example.com/latest.json"), "updates.example.com"};
    auto service = rig.makeService();
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
    rig.serveFeed();
    auto service = rig.checkedService();
    auto install = service->downloadAndInstall();
    auto check = service->checkForUpdates();
    QVERIFY(!install.isReady() && !check.isReady());
    service.reset();
    QVERIFY(install.isReady() && check.isReady());
    rig.scheduler.advance(10);
    QCoreApplication::processEvents();
    QVERIFY(rig.launcher.calls.isEmpty());
    QCOMPARE(rig.installation(), untouched);
}

QTEST_GUILESS_MAIN(tst_UpdateService)
#include "tst_UpdateService.moc"
