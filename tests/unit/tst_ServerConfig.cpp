#include "TemporaryEnvironment.h"
#include "cli/CommandLine.h"
#include "config/ServerConfig.h"
#include "engines/LanguageHint.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <map>

namespace {

ServerConfig::Environment environmentOf(std::map<std::string, std::string> variables) {
    return [variables = std::move(variables)](const char* name) -> std::optional<std::string> {
        const auto found = variables.find(name);
        return found == variables.end() ? std::nullopt : std::optional(found->second);
    };
}

QString writeConfig(const TemporaryEnvironment& home, const QByteArray& json) {
    const QString path = home.filePath(QStringLiteral("server.json"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(json);
    }
    return path;
}

} // namespace

// server.json and the environment, the listen address, the language hint and the command line.
class tst_ServerConfig : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void missingFileMeansOfflineDefaults();
    void fileThenEnvironment();
    void engineFollowsTheUpstream_data();
    void engineFollowsTheUpstream();
    void refusals_data();
    void refusals();
    void listenAddress_data();
    void listenAddress();
    void languageHint_data();
    void languageHint();
    void commandLine();
};

void tst_ServerConfig::missingFileMeansOfflineDefaults() {
    TemporaryEnvironment home;
    const auto config = ServerConfig::load(home.filePath(QStringLiteral("absent.json")), environmentOf({}));
    QVERIFY(config.ok());
    QCOMPARE(config->listen.toString(), std::string("127.0.0.1:47321"));
    QVERIFY(config->engine == TranscriptionEngineKind::local);
    QVERIFY(!config->hasUpstream());
    QVERIFY(!config->hasChatEngine());
    QVERIFY(!config->token);
    QVERIFY(QDir(QString::fromStdString(config->localModelDirectory)).exists(QStringLiteral("en-us")));
}

void tst_ServerConfig::fileThenEnvironment() {
    TemporaryEnvironment home;
    const QString path = writeConfig(home, R"({
        "listen": "127.0.0.1:5000", "upstreamUrl": "https://example.test/v1/", "upstreamKey": "from-file",
        "editModel": "file-chat", "maxAudioBytes": 2048, "requestTimeoutSeconds": 2.5, "colour": "blue"})");
    const auto config =
        ServerConfig::load(path, environmentOf({{"ORLAVO_UPSTREAM_KEY", "from-env"},
                                                {"ORLAVO_TRANSCRIBE_MODEL", "whisper-large-v3"},
                                                {"ORLAVO_EDIT_MODEL", ""}}));
    QVERIFY2(config.ok(), config.ok() ? "" : qPrintable(config.error().description));
    QCOMPARE(config->listen.port, 5000);
    QCOMPARE(config->upstreamUrl, std::string("https://example.test/v1")); // no double slash later
    QCOMPARE(config->upstreamKey, std::string("from-env"));
    QCOMPARE(config->transcribeModel, std::string("whisper-large-v3"));
    QCOMPARE(config->editModel, std::string("file-chat")); // an empty variable changes nothing
    QCOMPARE(config->maxAudioBytes, std::size_t(2048));
    QCOMPARE(config->requestTimeoutSeconds, 2.5);
    QCOMPARE(config->warnings.size(), std::size_t(1));
    QVERIFY(QString::fromStdString(config->warnings[0]).contains(QLatin1String("\"colour\"")));
}

void tst_ServerConfig::engineFollowsTheUpstream_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("engineVariable");
    QTest::addColumn<QString>("engine");
    QTest::newRow("nothing configured") << QByteArray("{}") << QString() << QStringLiteral("local");
    QTest::newRow("an upstream") << QByteArray(R"({"upstreamUrl":"http://localhost:8080/v1"})") << QString()
                                 << QStringLiteral("openai");
    QTest::newRow("an upstream kept for edits")
        << QByteArray(R"({"upstreamUrl":"http://localhost:8080/v1","engine":"local"})") << QString()
        << QStringLiteral("local");
    QTest::newRow("the environment decides")
        << QByteArray(R"({"upstreamUrl":"http://localhost:8080/v1","engine":"openai"})")
        << QStringLiteral("local") << QStringLiteral("local");
}

void tst_ServerConfig::engineFollowsTheUpstream() {
    QFETCH(QByteArray, json);
    QFETCH(QString, engineVariable);
    QFETCH(QString, engine);
    TemporaryEnvironment home;
    std::map<std::string, std::string> variables;
    if (!engineVariable.isEmpty()) {
        variables["ORLAVO_ENGINE"] = engineVariable.toStdString();
    }
    const auto config = ServerConfig::load(writeConfig(home, json), environmentOf(variables));
    QVERIFY(config.ok());
    QCOMPARE(QString::fromUtf8(engineName(config->engine).data()), engine);
}

void tst_ServerConfig::refusals_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("reason");
    QTest::newRow("not JSON") << QByteArray("{listen: 1") << QStringLiteral("not a JSON object");
    QTest::newRow("an array") << QByteArray("[]") << QStringLiteral("not a JSON object");
    QTest::newRow("number as text") << QByteArray(R"({"workers":"8"})")
                                    << QStringLiteral("\"workers\" must be");
    QTest::newRow("fractional count")
        << QByteArray(R"({"localDecoders":1.5})") << QStringLiteral("\"localDecoders\" must be");
    QTest::newRow("timeout of zero") << QByteArray(R"({"upstreamTimeoutSeconds":0})")
                                     << QStringLiteral("\"upstreamTimeoutSeconds\" must be");
    QTest::newRow("bad listen") << QByteArray(R"({"listen":"localhost"})") << QStringLiteral("HOST:PORT");
    QTest::newRow("not an HTTP URL") << QByteArray(R"({"upstreamUrl":"ftp://example.test"})")
                                     << QStringLiteral("http:// or https://");
    QTest::newRow("unknown engine") << QByteArray(R"({"engine":"whisper"})") << QStringLiteral("\"whisper\"");
    QTest::newRow("openai without upstream")
        << QByteArray(R"({"engine":"openai"})") << QStringLiteral("needs an upstream URL");
    QTest::newRow("token with a space")
        << QByteArray(R"({"token":"two words"})") << QStringLiteral("\"token\"");
    QTest::newRow("key with a line break")
        << QByteArray(R"({"upstreamUrl":"http://x/v1","upstreamKey":"a\nb"})")
        << QStringLiteral("control character");
}

void tst_ServerConfig::refusals() {
    QFETCH(QByteArray, json);
    QFETCH(QString, reason);
    TemporaryEnvironment home;
    const QString path = writeConfig(home, json);
    const auto config = ServerConfig::load(path, environmentOf({}));
    QVERIFY(!config.ok());
    QVERIFY2(config.error().description.contains(reason), qPrintable(config.error().description));
    QVERIFY(config.error().description.startsWith(path));
}

void tst_ServerConfig::listenAddress_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("host"); // empty: refused
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("loopback");
    QTest::newRow("IPv4") << QStringLiteral("127.0.0.1:47321") << QStringLiteral("127.0.0.1") << 47321
                          << true;
    QTest::newRow("any free port") << QStringLiteral("127.0.0.1:0") << QStringLiteral("127.0.0.1") << 0
                                   << true;
    QTest::newRow("IPv6") << QStringLiteral("[::1]:8080") << QStringLiteral("::1") << 8080 << true;
    QTest::newRow("all interfaces") << QStringLiteral("0.0.0.0:80") << QStringLiteral("0.0.0.0") << 80
                                    << false;
    QTest::newRow("IPv6 without brackets") << QStringLiteral("::1:8080") << QString() << 0 << false;
    QTest::newRow("port too large") << QStringLiteral("127.0.0.1:65536") << QString() << 0 << false;
    QTest::newRow("no port") << QStringLiteral("127.0.0.1:") << QString() << 0 << false;
    QTest::newRow("port with junk") << QStringLiteral("127.0.0.1:80x") << QString() << 0 << false;
    QTest::newRow("bad IPv6") << QStringLiteral("[zz]:80") << QString() << 0 << false;
}

void tst_ServerConfig::listenAddress() {
    QFETCH(QString, text);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(bool, loopback);
    const auto address = ListenAddress::parse(text.toStdString());
    QCOMPARE(address.has_value(), !host.isEmpty());
    if (address) {
        QCOMPARE(QString::fromStdString(address->host), host);
        QCOMPARE(address->port, port);
        QCOMPARE(address->isLoopback(), loopback);
        QCOMPARE(QString::fromStdString(address->toString()), text);
    }
}

void tst_ServerConfig::languageHint_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("englishOnly");
    QTest::newRow("none") << QString() << QString() << true;
    QTest::newRow("auto") << QStringLiteral(" Auto ") << QString() << true;
    QTest::newRow("code") << QStringLiteral("en") << QStringLiteral("en") << true;
    QTest::newRow("region") << QStringLiteral("en_US") << QStringLiteral("en") << true;
    QTest::newRow("name") << QStringLiteral("English") << QStringLiteral("en") << true;
    QTest::newRow("Spanish") << QStringLiteral("es-MX") << QStringLiteral("es") << false;
    QTest::newRow("Spanish by its name") << QStringLiteral("español") << QStringLiteral("es") << false;
    QTest::newRow("unknown words") << QStringLiteral("Klingon") << QString() << false;
}

void tst_ServerConfig::languageHint() {
    QFETCH(QString, text);
    QFETCH(QString, code);
    QFETCH(bool, englishOnly);
    const LanguageHint hint = LanguageHint::parse(text.toStdString());
    QCOMPARE(QString::fromStdString(hint.code()), code);
    QCOMPARE(hint.suitsEnglishOnly(), englishOnly);
}

void tst_ServerConfig::commandLine() {
    const auto listen = CommandLine::parse({"--listen", "127.0.0.1:9000", "--check"});
    QVERIFY(listen.ok());
    QVERIFY(listen->action == CommandLine::Action::check);
    QCOMPARE(listen->listen->port, 9000);
    QCOMPARE(CommandLine::parse({"--listen=[::1]:1"})->listen->host, std::string("::1"));
    QVERIFY(!CommandLine::parse({"--listen"}).ok());
    QVERIFY(!CommandLine::parse({"--listen", "nowhere"}).ok());
    QVERIFY(!CommandLine::parse({"--verbose"}).ok());
}

QTEST_GUILESS_MAIN(tst_ServerConfig)
#include "tst_ServerConfig.moc"
