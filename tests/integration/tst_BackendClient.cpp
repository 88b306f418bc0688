#include "InMemoryKeyValueStore.h"
#include "LoopbackHttpServer.h"
#include "TemporaryEnvironment.h"
#include "backend/BackendClient.h"
#include "backend/BackendToken.h"
#include "backend/BackendUrl.h"
#include "common/ErrorDomain.h"
#include "settings/KeychainService.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <memory>

namespace {

using SeenRequest = LoopbackHttpServer::Request;

template <typename T>
QCoro::Task<> keepResult(QCoro::Task<T> task, std::shared_ptr<std::optional<T>> out) {
    out->emplace(co_await std::move(task));
}

// Runs the call to its end with the event loop turning (the network needs it).
template <typename T>
T finish(QCoro::Task<T> task) {
    auto result = std::make_shared<std::optional<T>>();
    keepResult(std::move(task), result);
    if (!QTest::qWaitFor([&result] { return result->has_value(); }, 15000)) {
        qFatal("the call did not finish");
    }
    return std::move(**result);
}

QByteArray bytes(const std::string& text) {
    return QByteArray::fromStdString(text);
}

const std::string transcribeAnswer =
    R"({"text":"hola","language":"es","durationSeconds":1.5,"requestId":"r1"})";

} // namespace

class tst_BackendClient : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void requestsOnTheWire();
    void optionalHeadersAndTokenAreLeftOut();
    void tokenChoice_data();
    void tokenChoice();
    void loopbackHosts_data();
    void loopbackHosts();
    void answers_data();
    void answers();
    void transportFailures();
    void warmUpAndUploadShareOneConnection();
    void destroyingTheClientEndsItsCalls();
};

void tst_BackendClient::requestsOnTheWire() {
    LoopbackHttpServer server;
    PTTSettings settings = PTTSettings::defaults();
    settings.backendBaseURL = server.baseURL();
    settings.sttLanguage = QStringLiteral("es");
    settings.sttPrompt = QStringLiteral("kubectl,\r\nÑoño\tpods");
    int settingsReads = 0;
    BackendClient client(
        [&] {
            ++settingsReads;
            return settings;
        },
        [] { return std::optional(QStringLiteral("sk-1")); }, BackendClientOptions{.serverTokenFile = {}});

    const QByteArray audio("RIFF\0\x01\x02\xff-wav", 12);
    server.reply({200, transcribeAnswer});
    const auto transcribed =
        finish(client.transcribe(audio, QStringLiteral("ptt.wav"), QStringLiteral("audio/wav")));
    QVERIFY(transcribed.ok());
    QCOMPARE(*transcribed, (PTTTranscribeResponse{QStringLiteral("hola"), QStringLiteral("es"), 1.5,
                                                  QStringLiteral("r1")}));
    QCOMPARE(settingsReads, 1);

    PTTEditRequest request;
    request.mode = PTTEditMode::selectionCommand;
    request.inputText = QStringLiteral("make it formal");
    server.reply({200, R"({"text":"Dear Sir","requestId":"e1"})"});
    const auto editedText = finish(client.edit(request));
    QCOMPARE(editedText->text, std::optional(QStringLiteral("Dear Sir")));

    server.reply({200, R"({"ok":true,"service":"orlavo-server","groqConfigured":false,"authConfigured":true,)"
                       R"("version":"0.1.0","engine":"local"})"});
    const auto health = finish(client.health());
    QCOMPARE(*health, (PTTHealthResponse{true, QStringLiteral("orlavo-server"), false, true,
                                         QStringLiteral("0.1.0")}));

    const auto seen = server.seen();
    QCOMPARE(seen.size(), std::size_t(3));
    const SeenRequest& upload = seen[0];
    QCOMPARE(upload.method, std::string("POST"));
    QCOMPARE(upload.path, std::string("/v1/ptt/transcribe"));
    QCOMPARE(bytes(upload.body), audio);
    QCOMPARE(upload.header("Content-Type"), std::optional<std::string>("audio/wav"));
    QCOMPARE(upload.header("x-ptt-filename"), std::optional<std::string>("ptt.wav"));
    QCOMPARE(upload.header("x-ptt-language-hint"), std::optional<std::string>("es"));
    // Line breaks and tabs cannot travel in a header: folded to spaces, the rest as UTF-8.
    QCOMPARE(upload.header("x-ptt-prompt"), std::optional<std::string>("kubectl,  Ñoño pods"));
    QCOMPARE(upload.header("Authorization"), std::optional<std::string>("Bearer sk-1"));

    const SeenRequest& edit = seen[1];
    QCOMPARE(edit.method, std::string("POST"));
    QCOMPARE(edit.path, std::string("/v1/ptt/edit"));
    QCOMPARE(edit.header("Content-Type"), std::optional<std::string>("application/json"));
    QCOMPARE(edit.body, std::string(R"({"mode":"selection_command","inputText":"make it formal"})"));

    QCOMPARE(seen[2].method, std::string("GET"));
    QCOMPARE(seen[2].path, std::string("/v1/ptt/health"));
    QCOMPARE(seen[2].header("Authorization"), std::optional<std::string>("Bearer sk-1"));
    QVERIFY(seen[2].body.empty());
}

void tst_BackendClient::optionalHeadersAndTokenAreLeftOut() {
    LoopbackHttpServer server;
    PTTSettings settings = PTTSettings::defaults();
    settings.backendBaseURL = server.baseURL() + QLatin1Char('/');
    BackendClient client([&] { return settings; }, [] { return std::optional(QString()); },
                         BackendClientOptions{.serverTokenFile = {}});

    server.reply({200, transcribeAnswer});
    QVERIFY(finish(client.transcribe("x", QStringLiteral("ptt.wav"), QStringLiteral("audio/wav"))).ok());
    server.reply(
        {200, R"({"ok":true,"service":"s","groqConfigured":false,"authConfigured":false,"version":"1"})"});
    QVERIFY(finish(client.health()).ok());

    const auto seen = server.seen();
    QCOMPARE(seen.size(), std::size_t(2));
    for (const char* absent : {"x-ptt-language-hint", "x-ptt-prompt", "Authorization"}) {
        QVERIFY2(!seen[0].header(absent), absent);
    }
    // The base URL is joined as text, so the URL holds two slashes; Qt's HTTP layer sends the
    // path with redundant slashes collapsed.
    QCOMPARE(BackendUrl::join(settings.backendBaseURL, BackendUrl::healthPath)->path(),
             QStringLiteral("//v1/ptt/health"));
    QCOMPARE(seen[0].path, std::string("/v1/ptt/transcribe"));
    QCOMPARE(seen[1].path, std::string("/v1/ptt/health"));
}

void tst_BackendClient::tokenChoice_data() {
    QTest::addColumn<QString>("apiKey");       // "-": not stored
    QTest::addColumn<QString>("backendToken"); // "-": not stored
    QTest::addColumn<QByteArray>("tokenFile"); // empty: no file
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("authorization"); // empty: none sent

    const QByteArray file = "  srv-token \nsecond line\n";
    QTest::newRow("API key first") << "key"
                                   << "tok" << file << "127.0.0.1"
                                   << "Bearer key";
    QTest::newRow("empty API key") << ""
                                   << "tok" << file << "127.0.0.1"
                                   << "Bearer tok";
    QTest::newRow("server's file on loopback") << "-"
                                               << "-" << file << "127.0.0.1"
                                               << "Bearer srv-token";
    QTest::newRow("server's file on localhost") << "-"
                                                << "" << file << "localhost"
                                                << "Bearer srv-token";
    QTest::newRow("no file") << "-"
                             << "-" << QByteArray() << "127.0.0.1"
                             << "";
    QTest::newRow("blank file") << ""
                                << "" << QByteArray(" \n\n") << "127.0.0.1"
                                << "";
}

void tst_BackendClient::tokenChoice() {
    QFETCH(QString, apiKey);
    QFETCH(QString, backendToken);
    QFETCH(QByteArray, tokenFile);
    QFETCH(QString, host);
    QFETCH(QString, authorization);

    TemporaryEnvironment environment;
    const QString tokenPath = environment.filePath(QStringLiteral("server-token"));
    if (!tokenFile.isEmpty()) {
        QFile file(tokenPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(tokenFile);
    }
    InMemoryKeyValueStore defaults;
    KeychainService keychain(defaults);
    if (apiKey != QLatin1String("-")) {
        keychain.write(KeychainService::apiKeyAccount, apiKey);
    }
    if (backendToken != QLatin1String("-")) {
        keychain.write(KeychainService::backendTokenAccount, backendToken);
    }
    LoopbackHttpServer server;
    PTTSettings settings = PTTSettings::defaults();
    settings.backendBaseURL = QStringLiteral("http://%1:%2").arg(host).arg(server.port());
    BackendClient client([&] { return settings; }, [&] { return BackendToken::fromCredentials(keychain); },
                         BackendClientOptions{.serverTokenFile = tokenPath});

    QVERIFY(finish(client.health()).ok());
    const auto seen = server.seen();
    QCOMPARE(seen.size(), std::size_t(1));
    QCOMPARE(QString::fromStdString(seen[0].header("Authorization").value_or(std::string())), authorization);
}

void tst_BackendClient::loopbackHosts_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("loopback");

    QTest::newRow("IPv4") << "http://127.0.0.1:47321" << true;
    QTest::newRow("name, any case") << "http://LocalHost:47321" << true;
    QTest::newRow("a name ending in localhost") << "http://localhost.example.com" << false;
    QTest::newRow("another host") << "https://speech.example.com" << false;
}

void tst_BackendClient::loopbackHosts() {
    QFETCH(QString, url);
    QFETCH(bool, loopback);
    QCOMPARE(BackendUrl::isLoopback(QUrl(url)), loopback);
}

void tst_BackendClient::answers_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("domain"); // empty: success
    QTest::addColumn<QString>("description");

    QTest::newRow("200") << 200 << QByteArray(transcribeAnswer.c_str()) << QString() << QString();
    QTest::newRow("201") << 201 << QByteArray(R"({"requestId":"only"})") << QString() << QString();
    QTest::newRow("204 has no JSON") << 204 << QByteArray() << ErrorDomain::json
                                     << "The data couldn’t be read because it isn’t in the correct format.";
    QTest::newRow("401 text") << 401 << QByteArray("invalid token\n") << ErrorDomain::backend
                              << "invalid token\n";
    QTest::newRow("500 not UTF-8") << 500 << QByteArray("\xff\xfe\xfd") << ErrorDomain::backend
                                   << "Unknown backend error";
    QTest::newRow("503 empty") << 503 << QByteArray() << ErrorDomain::backend << "";
    QTest::newRow("200 with a web page")
        << 200 << QByteArray("<html>captive portal</html>") << ErrorDomain::json
        << "The data couldn’t be read because it isn’t in the correct format.";
    QTest::newRow("200 without requestId")
        << 200 << QByteArray(R"({"text":"hi"})") << ErrorDomain::json
        << "The data couldn’t be read because the value for “requestId” is missing.";
    QTest::newRow("200 with a number for text")
        << 200 << QByteArray(R"({"text":5,"requestId":"r"})") << ErrorDomain::json
        << "The data couldn’t be read because the value for “text” is not valid.";
}

void tst_BackendClient::answers() {
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, domain);
    QFETCH(QString, description);

    LoopbackHttpServer server;
    server.reply({status, body.toStdString()});
    PTTSettings settings = PTTSettings::defaults();
    settings.backendBaseURL = server.baseURL();
    BackendClient client([&] { return settings; }, {}, BackendClientOptions{.serverTokenFile = {}});

    const auto result =
        finish(client.transcribe("wav", QStringLiteral("ptt.wav"), QStringLiteral("audio/wav")));
    if (domain.isEmpty()) {
        QVERIFY2(result.ok(), qPrintable(result.ok() ? QString() : result.error().toString()));
        QVERIFY(!result->requestId.isEmpty());
        return;
    }
    QVERIFY(!result.ok());
    QCOMPARE(result.error().domain, domain);
    QCOMPARE(result.error().description, description);
    if (domain == ErrorDomain::backend) {
        QCOMPARE(result.error().code, 1);
    }
}

void tst_BackendClient::transportFailures() {
    PTTSettings settings = PTTSettings::defaults();
    BackendClient client([&] { return settings; }, {},
                         BackendClientOptions{.timeoutSeconds = 0.3, .serverTokenFile = {}});

    {
        LoopbackHttpServer server;
        server.reply({200, transcribeAnswer, true});
        settings.backendBaseURL = server.baseURL();
        const auto slow =
            finish(client.transcribe("wav", QStringLiteral("ptt.wav"), QStringLiteral("audio/wav")));
        QCOMPARE(slow.error(),
                 (PTTError{ErrorDomain::network, -1001, QStringLiteral("The request timed out.")}));
    }
    {
        LoopbackHttpServer server;
        server.reply({200, R"({"text":"cut)", false, true});
        settings.backendBaseURL = server.baseURL();
        const auto cut =
            finish(client.transcribe("wav", QStringLiteral("ptt.wav"), QStringLiteral("audio/wav")));
        QCOMPARE(cut.error(),
                 (PTTError{ErrorDomain::network, -1001, QStringLiteral("The request timed out.")}));
    }

    quint16 closedPort = 0;
    {
        QTcpServer unused;
        QVERIFY(unused.listen(QHostAddress::LocalHost));
        closedPort = unused.serverPort();
    }
    settings.backendBaseURL = QStringLiteral("http://127.0.0.1:%1").arg(closedPort);
    const auto refused = finish(client.health());
    QCOMPARE(refused.error(),
             (PTTError{ErrorDomain::network, -1004, QStringLiteral("Could not connect to the server.")}));

    LoopbackHttpServer server;
    for (const QString& bad : {QStringLiteral("http://bad host"), QStringLiteral("127.0.0.1:47321"),
                               QStringLiteral("ftp://127.0.0.1"), QString()}) {
        settings.backendBaseURL = bad;
        const auto edited = finish(client.edit(PTTEditRequest{}));
        QCOMPARE(edited.error(), (PTTError{ErrorDomain::network, -1000, QStringLiteral("unsupported URL")}));
    }
    QVERIFY(server.seen().empty());
}

void tst_BackendClient::warmUpAndUploadShareOneConnection() {
    LoopbackHttpServer server;
    PTTSettings settings = PTTSettings::defaults();
    settings.backendBaseURL = server.baseURL();
    QNetworkAccessManager network;
    BackendClient client([&] { return settings; }, {},
                         BackendClientOptions{.serverTokenFile = {}, .networkAccessManager = &network});
    QSignalSpy finished(&network, &QNetworkAccessManager::finished);

    client.warmUp(QUrl(server.baseURL() + QStringLiteral("/v1/ptt/health")));
    QVERIFY(finished.wait(5000));
    server.reply({200, transcribeAnswer});
    QVERIFY(finish(client.transcribe("wav", QStringLiteral("ptt.wav"), QStringLiteral("audio/wav"))).ok());

    const auto seen = server.seen();
    QCOMPARE(seen.size(), std::size_t(2));
    QCOMPARE(seen[0].method, std::string("HEAD"));
    QCOMPARE(seen[0].path, std::string("/v1/ptt/health"));
    QVERIFY(!seen[0].header("Authorization"));
    QCOMPARE(seen[1].method, std::string("POST"));
    QCOMPARE(seen[1].remotePort, seen[0].remotePort);
}

void tst_BackendClient::destroyingTheClientEndsItsCalls() {
    LoopbackHttpServer server;
    server.reply({200, transcribeAnswer, true});
    PTTSettings settings = PTTSettings::defaults();
    settings.backendBaseURL = server.baseURL();
    auto client = std::make_unique<BackendClient>([&] { return settings; }, BackendClient::TokenProvider(),
                                                  BackendClientOptions{.serverTokenFile = {}});

    auto result = std::make_shared<std::optional<Result<PTTTranscribeResponse>>>();
    keepResult(client->transcribe("wav", QStringLiteral("ptt.wav"), QStringLiteral("audio/wav")), result);
    QVERIFY(QTest::qWaitFor([&server] { return !server.seen().empty(); }, 5000));
    QVERIFY(!result->has_value());

    client.reset();
    QVERIFY(result->has_value());
    QCOMPARE((*result)->error(), (PTTError{ErrorDomain::network, -999, QStringLiteral("cancelled")}));
}

QTEST_GUILESS_MAIN(tst_BackendClient)
#include "tst_BackendClient.moc"
