#include "TemporaryEnvironment.h"
#include "server/auth/ServerToken.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <sys/stat.h>
#include <thread>

using namespace Qt::Literals::StringLiterals;

namespace {

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
    void existingFilesAreKeptOrRefused();
    void simultaneousStartsAgree();
    void authorizationHeader();
};

void tst_ServerToken::firstStartCreatesAPrivateToken() {
    TemporaryEnvironment home;
    const QString path = home.filePath(u"config/Kestrov/server-token"_s);
    const auto token = ServerToken::loadOrCreate(path);
    QVERIFY(token.ok() && token->origin() == ServerToken::Origin::generated);
    QCOMPARE(TemporaryEnvironment::read(path), QByteArray::fromStdString(token->text()) + '\n');
    QCOMPARE(token->text().size(), std::size_t(43));
    QCOMPARE(modeOf(path), mode_t(0600));

    const auto again = ServerToken::loadOrCreate(path);
    QVERIFY(again.ok() && again->origin() == ServerToken::Origin::file);
    QCOMPARE(again->text(), token->text());
    QVERIFY(ServerToken::loadOrCreate(home.filePath(u"other"_s))->text() != token->text());
}

void tst_ServerToken::existingFilesAreKeptOrRefused() {
    TemporaryEnvironment home;
    const QString path = home.filePath(u"server-token"_s);
    const auto loadFrom = [&](const QByteArray& content, mode_t mode) {
        ::chmod(QFile::encodeName(home.write(path, content)).constData(), mode);
        return ServerToken::loadOrCreate(path);
    };
    // Written by hand with CRLF, or readable by others: kept, and made private.
    QCOMPARE(loadFrom("my-own-token-123\r\n", 0600)->text(), std::string("my-own-token-123"));
    QCOMPARE(loadFrom("shared-token-456\n", 0644)->text(), std::string("shared-token-456"));
    QCOMPARE(modeOf(path), mode_t(0600));
    QCOMPARE(loadFrom(" \n", 0600)->text().size(), std::size_t(43)); // blank: a fresh one

    // Something that is not a token is reported, and what the user wrote is left alone.
    const auto refused = loadFrom("two words\n", 0600);
    QVERIFY(!refused.ok() && refused.error().description.contains(QLatin1String("fix or delete it")));
    QCOMPARE(TemporaryEnvironment::read(path), QByteArray("two words\n"));
}

void tst_ServerToken::simultaneousStartsAgree() {
    TemporaryEnvironment home;
    const QString path = home.filePath(u"server-token"_s);
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
    QCOMPARE(std::count(tokens.begin(), tokens.end(), tokens[0]), std::ptrdiff_t(tokens.size()));
    QCOMPARE(TemporaryEnvironment::read(path).trimmed().toStdString(), tokens[0]);
    QCOMPARE(QDir(home.path()).entryList(QDir::Files).size(), 1); // no temporary file left behind
}

void tst_ServerToken::authorizationHeader() {
    const auto token = ServerToken::fromText("s3cret-token");
    for (const char* accepted : {"Bearer s3cret-token", "bearer s3cret-token"}) {
        QVERIFY2(token->acceptsAuthorization(accepted), accepted);
    }
    for (const char* refused : {"", "Bearer ", "Basic s3cret-token", "Bearer s3cret-toke",
                                "Bearer s3cret-tokenX", "Bearer S3CRET-TOKEN"}) {
        QVERIFY2(!token->acceptsAuthorization(refused), refused);
    }
}

QTEST_GUILESS_MAIN(tst_ServerToken)
#include "tst_ServerToken.moc"
