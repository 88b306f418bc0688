#include "TemporaryEnvironment.h"
#include "core/update/UpdateFeed.h"
#include "core/update/VersionComparison.h"
#include "core/update/VersionManifest.h"

#include <QTest>

Q_DECLARE_METATYPE(UpdateFeed::DownloadCheck)

class tst_UpdateModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void versionComparison_data();
    void versionComparison();
    void manifestDecoding_data();
    void manifestDecoding();
    void downloadURLCheck_data();
    void downloadURLCheck();
    void feedFromEnvironment_data();
    void feedFromEnvironment();
};

void tst_UpdateModel::versionComparison_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("newer");
    const auto row = [](const char* name, const char* a, const char* b, bool newer) {
        QTest::newRow(name) << QString(a) << QString(b) << newer;
    };
    row("components compare as numbers", "1.10", "1.9", true);
    row("... and not as text", "1.9", "1.10", false);
    row("missing positions count as 0", "1.2", "1.2.0", false);
    row("... both ways", "1.2.0", "1.2", false);
    row("shorter but greater", "2", "1.9.9", true);
    row("suffixed piece is dropped: 1.4-rc1 is 1", "1.4", "1.4-rc1", true);
    row("... so it is never newer than 1.4", "1.4-rc1", "1.4", false);
    row("later pieces move up", "1.beta.3", "1.2", true);
    row("a v prefix is not a number", "v2.0", "1.0", false);
    row("too large for 64 bits is dropped", "1.99999999999999999999", "1.0", false);
}

void tst_UpdateModel::versionComparison() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, newer);
    QCOMPARE(isNewerVersion(a, b), newer);
}

void tst_UpdateModel::manifestDecoding_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("outcome"); // the version and the checksum, or the error
    const auto row = [](const char* name, const char* json, const char* outcome) {
        QTest::newRow(name) << QByteArray(json) << QString(outcome);
    };
    row("unknown keys and nulls are ignored",
        R"({"version":"2","download_url":"u","channel":1,"sha256":null})", "2 -");
    row("with a checksum", R"({"version":"3","download_url":"u","sha256":"AB12","size":42})", "3 AB12");
    row("no download_url", R"({"version":"1.2"})",
        "The data couldn’t be read because the value for “download_url” is missing.");
    row("version is a number", R"({"version":1.2,"download_url":"u"})",
        "The data couldn’t be read because the value for “version” is not valid.");
    row("not JSON", "<html>", "The data couldn’t be read because it isn’t in the correct format.");
}

void tst_UpdateModel::manifestDecoding() {
    QFETCH(QByteArray, json);
    QFETCH(QString, outcome);
    const auto manifest = VersionManifest::fromJson(json);
    QCOMPARE(manifest.ok() ? manifest->version + ' ' + manifest->sha256.value_or("-")
                           : manifest.error().description,
             outcome);
}

void tst_UpdateModel::downloadURLCheck_data() {
    QTest::addColumn<QString>("allowedHost");
    QTest::addColumn<QString>("url");
    QTest::addColumn<UpdateFeed::DownloadCheck>("check");
    using C = UpdateFeed::DownloadCheck;
    const auto row = [](const char* name, const char* host, const char* url, C check) {
        QTest::newRow(name) << QString(host) << QString(url) << check;
    };
    const char* host = "updates.example.com";
    row("the allowed host", host, "https://updates.example.com:8443/Orlavo.zip?x=1", C::accepted);
    row("subdomain", host, "https://cdn.updates.example.com/Orlavo.zip", C::wrongHost);
    row("host as user name", host, "https://updates.example.com@evil.net/x.zip", C::wrongHost);
    row("percent-encoded host", host, "https://updates%2Eexample.com/x.zip", C::wrongHost);
    row("plain http", host, "http://updates.example.com/Orlavo.zip", C::insecure);
    row("plain http on loopback", "127.0.0.1", "http://127.0.0.1:8080/x.zip", C::accepted);
    row("other scheme on loopback", "127.0.0.1", "ftp://127.0.0.1/x.zip", C::insecure);
}

void tst_UpdateModel::downloadURLCheck() {
    QFETCH(QString, allowedHost);
    QFETCH(QString, url);
    QFETCH(UpdateFeed::DownloadCheck, check);
    const UpdateFeed feed{QUrl("https://updates.example.com/feed.json"), allowedHost};
    QCOMPARE(feed.checkDownloadURL(url), check);
}

void tst_UpdateModel::feedFromEnvironment_data() {
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<QByteArray>("feedURL");
    QTest::addColumn<QString>("expected"); // feed URL, allowed download host, whether configured
    const auto row = [](const char* name, const char* host, const char* feed, const char* expected) {
        QTest::newRow(name) << QByteArray(host) << QByteArray(feed) << QString(expected);
    };
    row("a host", "updates.example.com", "",
        "https://updates.example.com/api/orlavo/updates/latest.json updates.example.com 1");
    row("a feed URL and a download host", "cdn.example.com", "https://staging.example.com/feed.json",
        "https://staging.example.com/feed.json cdn.example.com 1");
    row("plain http on loopback", "", "http://127.0.0.1:9000/latest.json",
        "http://127.0.0.1:9000/latest.json 127.0.0.1 1");
    row("plain http elsewhere is not a feed", "", "http://updates.example.com/latest.json",
        "http://updates.example.com/latest.json updates.example.com 0");
}

void tst_UpdateModel::feedFromEnvironment() {
    QFETCH(QByteArray, host);
    QFETCH(QByteArray, feedURL);
    QFETCH(QString, expected);
    TemporaryEnvironment environment;
    environment.set("ORLAVO_UPDATE_HOST", host);
    environment.set("ORLAVO_UPDATE_FEED_URL", feedURL);
    const UpdateFeed feed = UpdateFeed::fromEnvironment();
    QCOMPARE(
        QStringList({feed.feedURL.toString(), feed.allowedDownloadHost, QString::number(feed.isConfigured())})
            .join(' '),
        expected);
}

QTEST_GUILESS_MAIN(tst_UpdateModel)
#include "tst_UpdateModel.moc"
