#include "TemporaryEnvironment.h"
#include "update/UpdateFeed.h"
#include "update/VersionComparison.h"
#include "update/VersionManifest.h"

#include <QTest>

Q_DECLARE_METATYPE(UpdateFeed::DownloadCheck)

class tst_UpdateModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void versionComparison_data();
    void versionComparison();
    void manifestDecoding_data();
    void manifestDecoding();
    void manifestRoundTrip();
    void downloadURLCheck_data();
    void downloadURLCheck();
    void feedFromEnvironment_data();
    void feedFromEnvironment();
};

void tst_UpdateModel::versionComparison_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("newer");
    QTest::newRow("components compare as numbers") << "1.10"
                                                   << "1.9" << true;
    QTest::newRow("... and not as text") << "1.9"
                                         << "1.10" << false;
    QTest::newRow("missing positions count as 0") << "1.2"
                                                  << "1.2.0" << false;
    QTest::newRow("... both ways") << "1.2.0"
                                   << "1.2" << false;
    QTest::newRow("shorter but greater") << "2"
                                         << "1.9.9" << true;
    QTest::newRow("extra patch level") << "1.2.1"
                                       << "1.2" << true;
    QTest::newRow("equal") << "1.2.3"
                           << "1.2.3" << false;
    QTest::newRow("suffixed piece is dropped: 1.4-rc1 is 1") << "1.4"
                                                             << "1.4-rc1" << true;
    QTest::newRow("... so it is never newer than 1.4") << "1.4-rc1"
                                                       << "1.4" << false;
    QTest::newRow("later pieces move up") << "1.beta.3"
                                          << "1.2" << true;
    QTest::newRow("empty pieces are dropped") << "1..2"
                                              << "1.1" << true;
    QTest::newRow("leading zeros") << "1.02"
                                   << "1.1" << true;
    QTest::newRow("a v prefix is not a number") << "v2.0"
                                                << "1.0" << false;
    QTest::newRow("white space is not a number") << " 2"
                                                 << "1" << false;
    QTest::newRow("explicit plus sign") << "+2"
                                        << "1" << true;
    QTest::newRow("too large for 64 bits is dropped") << "1.99999999999999999999"
                                                      << "1.0" << false;
    QTest::newRow("empty is 0") << ""
                                << "0.0.1" << false;
    QTest::newRow("anything beats empty") << "0.0.1"
                                          << "" << true;
}

void tst_UpdateModel::versionComparison() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, newer);
    QCOMPARE(isNewerVersion(a, b), newer);
}

void tst_UpdateModel::manifestDecoding_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("versionOrError");
    QTest::addColumn<QString>("notes");
    QTest::addColumn<QString>("sha256");

    QTest::newRow("minimal") << QByteArray(R"({"version":"1.2","download_url":"https://h/x.zip"})") << true
                             << "1.2"
                             << ""
                             << "";
    QTest::newRow("unknown keys and nulls are ignored")
        << QByteArray(R"({"version":"2","download_url":"u","channel":"beta","sha256":null,"size":null})")
        << true << "2"
        << ""
        << "";
    QTest::newRow("optional fields")
        << QByteArray(
               R"({"version":"3","download_url":"u","release_notes":"Faster.","sha256":"AB12","size":42})")
        << true << "3"
        << "Faster."
        << "AB12";
    QTest::newRow("no download_url")
        << QByteArray(R"({"version":"1.2"})") << false
        << "The data couldn’t be read because the value for “download_url” is missing."
        << ""
        << "";
    QTest::newRow("version is a number")
        << QByteArray(R"({"version":1.2,"download_url":"u"})") << false
        << "The data couldn’t be read because the value for “version” is not valid."
        << ""
        << "";
    QTest::newRow("size is text") << QByteArray(R"({"version":"1","download_url":"u","size":"42"})") << false
                                  << "The data couldn’t be read because the value for “size” is not valid."
                                  << ""
                                  << "";
    QTest::newRow("not JSON") << QByteArray("<html>") << false
                              << "The data couldn’t be read because it isn’t in the correct format."
                              << ""
                              << "";
    QTest::newRow("an array") << QByteArray("[]") << false
                              << "The data couldn’t be read because it isn’t in the correct format."
                              << ""
                              << "";
}

void tst_UpdateModel::manifestDecoding() {
    QFETCH(QByteArray, json);
    QFETCH(bool, ok);
    QFETCH(QString, versionOrError);
    const auto manifest = VersionManifest::fromJson(json);
    QCOMPARE(manifest.ok(), ok);
    if (!ok) {
        QCOMPARE(manifest.error().description, versionOrError);
        return;
    }
    QFETCH(QString, notes);
    QFETCH(QString, sha256);
    QCOMPARE(manifest->version, versionOrError);
    QCOMPARE(manifest->releaseNotes.value_or(QString()), notes);
    QCOMPARE(manifest->sha256.value_or(QString()), sha256);
}

void tst_UpdateModel::manifestRoundTrip() {
    const VersionManifest full{QStringLiteral("1.4.2"),
                               QStringLiteral("812"),
                               QStringLiteral("12.0"),
                               QStringLiteral("ab"),
                               qint64(5'000'000'000),
                               QStringLiteral("Notes\n“quoted”"),
                               QStringLiteral("https://h/x.zip")};
    const auto decoded = VersionManifest::fromJson(full.toJson());
    QVERIFY(decoded.ok());
    QCOMPARE(decoded.value(), full);
    const QByteArray expected =
        R"({"version":"1.4.2","build":"812","minimumOS":"12.0","sha256":"ab",)"
        R"("size":5000000000,"release_notes":"Notes\n“quoted”","download_url":"https://h/x.zip"})";
    QCOMPARE(full.toJson(), expected);

    VersionManifest minimal;
    minimal.version = QStringLiteral("1");
    minimal.downloadURL = QStringLiteral("u");
    QCOMPARE(minimal.toJson(), QByteArray(R"({"version":"1","download_url":"u"})"));
}

void tst_UpdateModel::downloadURLCheck_data() {
    QTest::addColumn<QString>("allowedHost");
    QTest::addColumn<QString>("url");
    QTest::addColumn<UpdateFeed::DownloadCheck>("check");
    using C = UpdateFeed::DownloadCheck;
    const QString host = QStringLiteral("updates.example.com");
    QTest::newRow("the allowed host") << host << "https://updates.example.com/Orlavo.zip" << C::accepted;
    QTest::newRow("with port and query")
        << host << "https://updates.example.com:8443/a/b.zip?x=1" << C::accepted;
    QTest::newRow("other letter case") << host << "https://Updates.Example.com/Orlavo.zip" << C::wrongHost;
    QTest::newRow("subdomain") << host << "https://cdn.updates.example.com/Orlavo.zip" << C::wrongHost;
    QTest::newRow("host as a prefix") << host << "https://updates.example.com.evil.net/x.zip" << C::wrongHost;
    QTest::newRow("host as user name")
        << host << "https://updates.example.com@evil.net/x.zip" << C::wrongHost;
    QTest::newRow("percent-encoded host") << host << "https://updates%2Eexample.com/x.zip" << C::wrongHost;
    QTest::newRow("plain http") << host << "http://updates.example.com/Orlavo.zip" << C::insecure;
    QTest::newRow("no host") << host << "file:///tmp/Orlavo.zip" << C::wrongHost;
    QTest::newRow("not a URL") << host << "not a url" << C::wrongHost;
    QTest::newRow("empty") << host << "" << C::wrongHost;
    QTest::newRow("http on loopback") << "127.0.0.1"
                                      << "http://127.0.0.1:8080/x.zip" << C::accepted;
    QTest::newRow("http on localhost") << "localhost"
                                       << "http://localhost:8080/x.zip" << C::accepted;
    QTest::newRow("IPv6 loopback") << "::1"
                                   << "http://[::1]:8080/x.zip" << C::accepted;
    QTest::newRow("other scheme on loopback") << "127.0.0.1"
                                              << "ftp://127.0.0.1/x.zip" << C::insecure;
    QTest::newRow("nothing allowed") << ""
                                     << "https://updates.example.com/x.zip" << C::wrongHost;
}

void tst_UpdateModel::downloadURLCheck() {
    QFETCH(QString, allowedHost);
    QFETCH(QString, url);
    QFETCH(UpdateFeed::DownloadCheck, check);
    const UpdateFeed feed{QUrl(QStringLiteral("https://updates.example.com/feed.json")), allowedHost};
    QCOMPARE(feed.checkDownloadURL(url), check);
}

void tst_UpdateModel::feedFromEnvironment_data() {
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<QByteArray>("feedURL");
    QTest::addColumn<QString>("expectedFeed");
    QTest::addColumn<QString>("expectedAllowedHost");
    QTest::addColumn<bool>("configured");
    const QString compiled = UpdateFeed::compiledHost();
    QTest::newRow("nothing set: the host of the build")
        << QByteArray() << QByteArray()
        << (compiled.isEmpty() ? QString() : "https://" + compiled + "/api/orlavo/updates/latest.json")
        << compiled << !compiled.isEmpty();
    QTest::newRow("a host") << QByteArray("updates.example.com") << QByteArray()
                            << "https://updates.example.com/api/orlavo/updates/latest.json"
                            << "updates.example.com" << true;
    QTest::newRow("a feed URL") << QByteArray() << QByteArray("https://staging.example.com/feed.json")
                                << "https://staging.example.com/feed.json"
                                << "staging.example.com" << true;
    QTest::newRow("a feed URL and a download host")
        << QByteArray("cdn.example.com") << QByteArray("https://staging.example.com/feed.json")
        << "https://staging.example.com/feed.json"
        << "cdn.example.com" << true;
    QTest::newRow("plain http on loopback") << QByteArray() << QByteArray("http://127.0.0.1:9000/latest.json")
                                            << "http://127.0.0.1:9000/latest.json"
                                            << "127.0.0.1" << true;
    QTest::newRow("plain http elsewhere is not a feed")
        << QByteArray() << QByteArray("http://updates.example.com/latest.json")
        << "http://updates.example.com/latest.json"
        << "updates.example.com" << false;
}

void tst_UpdateModel::feedFromEnvironment() {
    QFETCH(QByteArray, host);
    QFETCH(QByteArray, feedURL);
    QFETCH(QString, expectedFeed);
    QFETCH(QString, expectedAllowedHost);
    QFETCH(bool, configured);
    TemporaryEnvironment environment;
    environment.set("ORLAVO_UPDATE_HOST", host);
    environment.set("ORLAVO_UPDATE_FEED_URL", feedURL);
    const UpdateFeed feed = UpdateFeed::fromEnvironment();
    QCOMPARE(feed.feedURL.toString(), expectedFeed);
    QCOMPARE(feed.allowedDownloadHost, expectedAllowedHost);
    QCOMPARE(feed.isConfigured(), configured);
}

QTEST_GUILESS_MAIN(tst_UpdateModel)
#include "tst_UpdateModel.moc"
