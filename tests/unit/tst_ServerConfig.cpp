#include "TemporaryEnvironment.h"
#include "core/backend/ServerConfigFile.h"
#include "server/cli/CommandLine.h"
#include "server/config/ServerConfig.h"
#include "server/engines/LanguageHint.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <map>
#include <nlohmann/json.hpp>

using namespace Qt::Literals::StringLiterals;

namespace {

Result<ServerConfig> load(const QByteArray& json, std::map<std::string, std::string> variables = {}) {
    const TemporaryEnvironment home;
    return ServerConfig::load(
        home.write(u"server.json"_s, json), [&variables](const char* name) -> std::optional<std::string> {
            const auto found = variables.find(name);
            return found == variables.end() ? std::nullopt : std::optional(found->second);
        });
}

} // namespace

// server.json and the environment, the listen address, the language hint and the command line.
class tst_ServerConfig : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fileThenEnvironment();
    void refusals_data();
    void refusals();
    void addressesHintsAndArguments();
    void engineChoiceRoundTrip();
};

void tst_ServerConfig::fileThenEnvironment() {
    const auto defaults = ServerConfig::load(u"/nonexistent/server.json"_s,
                                             [](const char*) { return std::optional<std::string>(); });
    QVERIFY(defaults.ok());
    QCOMPARE(defaults->listen.toString(), std::string("127.0.0.1:27321"));
    QVERIFY(defaults->engine == TranscriptionEngineKind::local && !defaults->hasChatEngine() &&
            !defaults->token);
    QVERIFY(QDir(QString::fromStdString(defaults->localModelDirectory)).exists(u"en-us"_s));

    const auto config = load(R"({
        "listen": "127.0.0.1:5000", "upstreamUrl": "https://example.test/v1/", "upstreamKey": "from-file",
        "editModel": "file-chat", "maxAudioBytes": 2048, "requestTimeoutSeconds": 2.5, "colour": "blue"})",
                             {{"ORLAVO_UPSTREAM_KEY", "from-env"},
                              {"ORLAVO_TRANSCRIBE_MODEL", "whisper-large-v3"},
                              {"ORLAVO_EDIT_MODEL", ""}});
    QVERIFY2(config.ok(), config.ok() ? "" : qPrintable(config.error().description));
    QCOMPARE(config->listen.port, 5000);
    QCOMPARE(config->upstreamUrl, std::string("https://example.test/v1")); // no double slash later
    QCOMPARE(config->upstreamKey, std::string("from-env"));
    QCOMPARE(config->transcribeModel, std::string("whisper-large-v3"));
    QCOMPARE(config->editModel, std::string("file-chat")); // an empty variable changes nothing
    QVERIFY(config->maxAudioBytes == 2048 && config->requestTimeoutSeconds == 2.5);
    QVERIFY(config->engine == TranscriptionEngineKind::openai); // an upstream makes it the default
    QCOMPARE(config->warnings.size(), std::size_t(2));
    QVERIFY(QString::fromStdString(config->warnings[0]).contains(QLatin1String("\"colour\"")));
    // The file holds a key and others could read it: it is made the owner's alone, and the log says so.
    QVERIFY(QString::fromStdString(config->warnings[1]).contains(QLatin1String("readable by you alone")));

    // The former default port lies in the ephemeral range; a stored one moves with the app's default.
    const auto former = load(R"({"listen":"127.0.0.1:47321"})");
    QCOMPARE(former->listen.toString(), std::string("127.0.0.1:27321"));
    QVERIFY(!former->warnings.empty() && QString::fromStdString(former->warnings[0]).contains(u"47321"_s));

    // An upstream may serve only edits; the environment has the last word.
    const QByteArray localWithUpstream = R"({"upstreamUrl":"http://localhost:8080/v1","engine":"local"})";
    QVERIFY(load(localWithUpstream)->engine == TranscriptionEngineKind::local);
    const QByteArray openai = R"({"upstreamUrl":"http://localhost:8080/v1","engine":"openai"})";
    QVERIFY(load(openai, {{"ORLAVO_ENGINE", "local"}})->engine == TranscriptionEngineKind::local);
}

void tst_ServerConfig::refusals_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("reason");
    QTest::newRow("not JSON") << QByteArray("{listen: 1") << "not a JSON object";
    QTest::newRow("number as text") << QByteArray(R"({"workers":"8"})") << "\"workers\" must be";
    QTest::newRow("timeout of zero") << QByteArray(R"({"upstreamTimeoutSeconds":0})")
                                     << "\"upstreamTimeoutSeconds\" must be";
    QTest::newRow("bad listen") << QByteArray(R"({"listen":"localhost"})") << "HOST:PORT";
    QTest::newRow("not an HTTP URL") << QByteArray(R"({"upstreamUrl":"ftp://example.test"})")
                                     << "http:// or https://";
    QTest::newRow("unknown engine") << QByteArray(R"({"engine":"whisper"})") << "\"whisper\"";
    QTest::newRow("openai without upstream")
        << QByteArray(R"({"engine":"openai"})") << "needs an upstream URL";
    QTest::newRow("key with a line break")
        << QByteArray(R"({"upstreamUrl":"http://x/v1","upstreamKey":"a\nb"})") << "control character";
    QTest::newRow("key over plain http to another machine")
        << QByteArray(R"({"upstreamUrl":"http://user:pw@api.example.test:80/v1","upstreamKey":"k"})")
        << "travel unencrypted to api.example.test";
}

void tst_ServerConfig::refusals() {
    QFETCH(QByteArray, json);
    QFETCH(QString, reason);
    const auto config = load(json);
    QVERIFY(!config.ok());
    QVERIFY2(config.error().description.contains(reason), qPrintable(config.error().description));
    QVERIFY(config.error().description.contains(QLatin1String("server.json"))); // the message names the file
}

void tst_ServerConfig::addressesHintsAndArguments() {
    // Text, then the host (empty: refused) and whether it is loopback.
    const std::tuple<const char*, const char*, bool> addresses[] = {
        {"127.0.0.1:27321", "127.0.0.1", true}, {"[::1]:8080", "::1", true},
        {"0.0.0.0:80", "0.0.0.0", false},       {"::1:8080", "", false},
        {"127.0.0.1:65536", "", false},         {"127.0.0.1:80x", "", false}};
    for (const auto& [text, host, loopback] : addresses) {
        const auto address = ListenAddress::parse(text);
        QVERIFY2(address.has_value() == (*host != 0), text);
        QVERIFY2(!address || (address->host == host && address->isLoopback() == loopback &&
                              address->toString() == text),
                 text);
    }

    // Text, then the language code and whether the English-only recogniser will do.
    const std::tuple<const char*, const char*, bool> hints[] = {
        {"", "", true},         {" Auto ", "", true},     {"en_US", "en", true}, {"English", "en", true},
        {"es-MX", "es", false}, {"español", "es", false}, {"Klingon", "", false}};
    for (const auto& [text, code, englishOnly] : hints) {
        const LanguageHint hint = LanguageHint::parse(text);
        QVERIFY2(hint.code() == code && hint.suitsEnglishOnly() == englishOnly, text);
    }

    const auto listen = CommandLine::parse({"--listen", "127.0.0.1:9000", "--check"});
    QVERIFY(listen.ok() && listen->action == CommandLine::Action::check);
    QCOMPARE(listen->listen->port, 9000);
    QCOMPARE(CommandLine::parse({"--listen=[::1]:1"})->listen->host, std::string("::1"));
    QVERIFY(!CommandLine::parse({"--listen"}).ok());
    QVERIFY(!CommandLine::parse({"--verbose"}).ok());
}

void tst_ServerConfig::engineChoiceRoundTrip() {
    const TemporaryEnvironment home;
    const QString path = home.write(u"server.json"_s, R"({"listen": "127.0.0.1:5000", "colour": "blue",
        "nested": {"a": [1, 2]}, "upstreamUrl": "https://old.example/v1", "upstreamKey": "old-key"})");
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadOther);

    ServerEngineChoice choice{true, u"https://api.example.test/v1"_s, u"sk-new"_s, u"whisper-large"_s, u""_s};
    QVERIFY(!ServerConfigFile::write(path, choice));
    // Readable by the user alone, and what the user wrote by hand is still there, in its place.
    const auto others =
        QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther;
    QVERIFY(!(QFile::permissions(path) & others) && (QFile::permissions(path) & QFileDevice::WriteOwner));
    const auto written = nlohmann::ordered_json::parse(TemporaryEnvironment::read(path).toStdString());
    QCOMPARE(written.begin().key(), std::string("listen"));
    QVERIFY(written["colour"] == "blue" && written["nested"]["a"][1] == 2);

    const auto served = ServerConfig::load(path, [](const char*) { return std::optional<std::string>(); });
    QVERIFY2(served.ok(), served.ok() ? "" : qPrintable(served.error().description));
    QVERIFY(served->engine == TranscriptionEngineKind::openai && !served->hasChatEngine());
    QCOMPARE(served->upstreamKey + " " + served->transcribeModel + " " + served->listen.toString(),
             std::string("sk-new whisper-large 127.0.0.1:5000"));
    QCOMPARE(ServerConfigFile::read(path).value(), choice);

    // Back to this computer, the service kept for edits but its key dropped.
    choice = {false, u"http://127.0.0.1:8080/v1"_s, {}, u"whisper-1"_s, u"chat"_s};
    QVERIFY(!ServerConfigFile::write(path, choice));
    QCOMPARE(ServerConfigFile::read(path).value(), choice);
    QVERIFY(!TemporaryEnvironment::read(path).contains("upstreamKey"));
    QVERIFY(ServerConfig::load(path, [](const char*) { return std::optional<std::string>(); })->engine ==
            TranscriptionEngineKind::local);

    // A file that is not JSON is the user's to mend: it is neither read nor replaced.
    home.write(u"server.json"_s, "{\"listen\": ");
    QVERIFY(!ServerConfigFile::read(path).ok());
    const auto refused = ServerConfigFile::write(path, choice);
    QVERIFY(refused && refused->description.contains(u"not a JSON object"_s));
    QCOMPARE(TemporaryEnvironment::read(path), QByteArray("{\"listen\": "));
}

QTEST_GUILESS_MAIN(tst_ServerConfig)
#include "tst_ServerConfig.moc"
