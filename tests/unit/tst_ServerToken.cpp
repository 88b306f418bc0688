#include "TemporaryEnvironment.h"
#include "auth/ServerToken.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>
#include <thread>

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
}

mode_t modeOf(const QString& path) {
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 0777;
}

} // namespace

// The token file shared with the app, and the check of the Authorization header.
class tst_ServerToken : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstStartCreatesAPrivateToken();
    void existingFilesAreKeptOrRefused_data();
    void existingFilesAreKeptOrRefused();
    void simultaneousStartsAgree();
    void authorizationHeader_data();
    void authorizationHeader();
};

void tst_ServerToken::firstStartCreatesAPrivateToken() {
    TemporaryEnvironment home;
    const QString path = home.filePath(QStringLiteral("config/Kestrov/server-token"));
    const auto token = ServerToken::loadOrCreate(path);
    QVERIFY(token.ok());
    QVERIFY(token->origin() == ServerToken::Origin::generated);
    QCOMPARE(readAll(path), QByteArray::fromStdString(token->text()) + '\n');
    QCOMPARE(token->text().size(), std::size_t(43));
    QCOMPARE(modeOf(path), mode_t(0600));

    const auto again = ServerToken::loadOrCreate(path);
    QVERIFY(again.ok());
    QVERIFY(again->origin() == ServerToken::Origin::file);
    QCOMPARE(again->text(), token->text());

    TemporaryEnvironment other;
    const auto different = ServerToken::loadOrCreate(other.filePath(QStringLiteral("server-token")));
    QVERIFY(different->text() != token->text());
}

void tst_ServerToken::existingFilesAreKeptOrRefused_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("token"); // empty: refused; "*": a fresh one
    QTest::newRow("written by hand, CRLF")
        << QByteArray("my-own-token-123\r\n") << 0600 << QStringLiteral("my-own-token-123");
    QTest::newRow("readable by others")
        << QByteArray("shared-token-456\n") << 0644 << QStringLiteral("shared-token-456");
    QTest::newRow("blank") << QByteArray(" \n") << 0600 << QStringLiteral("*");
    QTest::newRow("two words") << QByteArray("two words\n") << 0600 << QString();
    QTest::newRow("two lines") << QByteArray("first\nsecond\n") << 0600 << QString();
}

void tst_ServerToken::existingFilesAreKeptOrRefused() {
    QFETCH(QByteArray, content);
    QFETCH(int, mode);
    QFETCH(QString, token);
    TemporaryEnvironment home;
    const QString path = home.filePath(QStringLiteral("server-token"));
    write(path, content);
    ::chmod(QFile::encodeName(path).constData(), mode_t(mode));

    const auto loaded = ServerToken::loadOrCreate(path);
    if (token.isEmpty()) {
        QVERIFY(!loaded.ok());
        QVERIFY(loaded.error().description.contains(QLatin1String("fix or delete it")));
        QCOMPARE(readAll(path), content); // what the user wrote is left alone
        return;
    }
    QVERIFY(loaded.ok());
    if (token == QLatin1String("*")) {
        QCOMPARE(loaded->text().size(), std::size_t(43));
    } else {
        QCOMPARE(QString::fromStdString(loaded->text()), token);
    }
    QCOMPARE(modeOf(path), mode_t(0600));
}

void tst_ServerToken::simultaneousStartsAgree() {
    TemporaryEnvironment home;
    const QString path = home.filePath(QStringLiteral("server-token"));
    std::vector<std::string> tokens(8);
    std::vector<std::thread> starts;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        starts.emplace_back([&, i] {
            const auto token = ServerToken::loadOrCreate(path);
            tokens[i] = token.ok() ? token->text() : "failed: " + token.error().description.toStdString();
        });
    }
    for (std::thread& start : starts) {
        start.join();
    }
    for (const std::string& token : tokens) {
        QCOMPARE(token, tokens[0]);
    }
    QCOMPARE(readAll(path).trimmed().toStdString(), tokens[0]);
    QCOMPARE(QDir(home.path()).entryList(QDir::Files).size(), 1); // no temporary file left behind
}

void tst_ServerToken::authorizationHeader_data() {
    QTest::addColumn<QString>("header");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("exact") << QStringLiteral("Bearer s3cret-token") << true;
    QTest::newRow("scheme in lower case") << QStringLiteral("bearer s3cret-token") << true;
    QTest::newRow("trailing space") << QStringLiteral("Bearer s3cret-token ") << true;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("scheme only") << QStringLiteral("Bearer ") << false;
    QTest::newRow("no scheme") << QStringLiteral("s3cret-token") << false;
    QTest::newRow("other scheme") << QStringLiteral("Basic s3cret-token") << false;
    QTest::newRow("prefix of the token") << QStringLiteral("Bearer s3cret-toke") << false;
    QTest::newRow("token and more") << QStringLiteral("Bearer s3cret-tokenX") << false;
    QTest::newRow("other case") << QStringLiteral("Bearer S3CRET-TOKEN") << false;
}

void tst_ServerToken::authorizationHeader() {
    QFETCH(QString, header);
    QFETCH(bool, accepted);
    const auto token = ServerToken::fromText("s3cret-token");
    QVERIFY(token);
    QCOMPARE(token->acceptsAuthorization(header.toStdString()), accepted);
}

QTEST_GUILESS_MAIN(tst_ServerToken)
#include "tst_ServerToken.moc"
