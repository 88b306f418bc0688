#include "InMemoryKeyValueStore.h"
#include "LoopbackHttpServer.h"
#include "TemporaryEnvironment.h"
#include "core/backend/BackendClient.h"
#include "core/backend/BackendToken.h"
#include "core/backend/BackendUrl.h"
#include "core/common/ErrorDomain.h"
#include "core/settings/KeychainService.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

template <typename T>
QCoro::Task<> keepResult(QCoro::Task<T> task, std::shared_ptr<std::optional<T>> out) {
    out->emplace(co_await std::move(task));
}

// Runs the call to its end with the event loop turning (the network and the server need it).
template <typename T>
T finish(QCoro::Task<T> task) {
    auto result = std::make_shared<std::optional<T>>();
    keepResult(std::move(task), result);
    if (!QTest::qWaitFor([&result] { return result->has_value(); }, 15000)) {
        qFatal("the call did not finish");
    }
    return std::move(**result);
}

// The request line and the headers the client may send, as they arrived.
QStringList described(const LoopbackHttpServer::Request& request) {
    QStringList lines{QString::fromLatin1(request.method + ' ' + request.path)};
    for (const char* name :
         {"content-type", "authorization", "x-ptt-filename", "x-ptt-language-hint", "x-ptt-prompt"}) {
        if (request.headers.contains(name)) {
            lines.append(QString::fromUtf8(name + QByteArray(": ") + request.headers.value(name)));
        }
    }
    return lines;
}

const QByteArray transcribeAnswer =
    R"({"text":"hola","language":"es","durationSeconds":1.5,"requestId":"r1"})";
const QByteArray healthAnswer =
    R"({"ok":true,"service":"orlavo-server","groqConfigured":false,"authConfigured":true,"version":"0.1.0"})";
const QString formatError = "The data couldn’t be read because it isn’t in the correct format.";

// A client of a loopback service that reads its settings at every request.
struct Service {
    LoopbackHttpServer server;
    PTTSettings settings = PTTSettings::defaults();
    QNetworkAccessManager network;
    std::unique_ptr<BackendClient> client;

    explicit Service(BackendClient::TokenProvider token = {},
                     BackendClientOptions options = {.serverTokenFile = {}}) {
        settings.backendBaseURL = server.url();
        options.networkAccessManager = &network;
        client = std::make_unique<BackendClient>([this] { return settings; }, std::move(token), options);
    }
    Result<PTTTranscribeResponse> transcribe(const QByteArray& audio = "wav") {
        return finish(client->transcribe(audio, "ptt.wav", "audio/wav"));
    }
};

} // namespace

class tst_BackendClient : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void requestsOnTheWire();
    void tokenChoice_data();
    void tokenChoice();
    void answers_data();
    void answers();
    void transportFailures();
    void controlCharactersNeverArrive();
    void othersServersGetNothing_data();
    void othersServersGetNothing();
    void redirectsStayOnTheServer();
    void warmUpAndUploadShareOneConnection();
    void destroyingTheClientEndsItsCalls();
};

void tst_BackendClient::requestsOnTheWire() {
    std::optional<QString> token = "sk-1";
    Service service([&] { return token; });
    service.settings.sttLanguage = "es";
    service.settings.sttPrompt = "kubectl,\r\nÑoño\tpods";
    LoopbackHttpServer& server = service.server;

    const QByteArray audio("RIFF\0\x01\x02\xff-wav", 12);
    server.fallback = {200, transcribeAnswer};
    QCOMPARE(*service.transcribe(audio), (PTTTranscribeResponse{"hola", "es", 1.5, "r1"}));
    PTTEditRequest request;
    request.mode = PTTEditMode::selectionCommand;
    request.inputText = "make it formal";
    server.fallback = {200, R"({"text":"Dear Sir","requestId":"e1"})"};
    QCOMPARE(finish(service.client->edit(request))->text, "Dear Sir");
    server.fallback = {200, healthAnswer};
    QCOMPARE(*finish(service.client->health()),
             (PTTHealthResponse{true, "orlavo-server", false, true, "0.1.0"}));

    // Without a token, a language or a prompt those headers are left out; a base URL ending in a
    // slash still reaches the same path.
    token = "";
    service.settings = PTTSettings::defaults();
    service.settings.backendBaseURL = server.url("/");
    server.fallback = {200, transcribeAnswer};
    QVERIFY(service.transcribe("x").ok());

    const auto& seen = server.requests;
    QCOMPARE(seen.size(), 4);
    // Line breaks and tabs cannot travel in a header: folded to spaces, the rest as UTF-8.
    QCOMPARE(described(seen[0]),
             QStringList({"POST /v1/ptt/transcribe", "content-type: audio/wav", "authorization: Bearer sk-1",
                          "x-ptt-filename: ptt.wav", "x-ptt-language-hint: es",
                          "x-ptt-prompt: kubectl,  Ñoño pods"}));
    QCOMPARE(seen[0].body, audio);
    QCOMPARE(described(seen[1]), QStringList({"POST /v1/ptt/edit", "content-type: application/json",
                                              "authorization: Bearer sk-1"}));
    QCOMPARE(seen[1].body, R"({"mode":"selection_command","inputText":"make it formal"})");
    QCOMPARE(described(seen[2]), QStringList({"GET /v1/ptt/health", "authorization: Bearer sk-1"}));
    QVERIFY(seen[2].body.isEmpty());
    QCOMPARE(described(seen[3]),
             QStringList({"POST /v1/ptt/transcribe", "content-type: audio/wav", "x-ptt-filename: ptt.wav"}));
}

void tst_BackendClient::tokenChoice_data() {
    QTest::addColumn<QString>("apiKey");           // "-": not stored
    QTest::addColumn<QString>("backendToken");     // "-": not stored
    QTest::addColumn<QByteArray>("tokenFile");     // empty: no file
    QTest::addColumn<QString>("host");             // of the service
    QTest::addColumn<QString>("served");           // the server's address file, %1 its port; "-": none
    QTest::addColumn<QByteArray>("authorization"); // empty: none sent

    const QByteArray file = "  srv-token \nsecond line\n";
    const QString none = "-";
    const QString loopback = "127.0.0.1";
    const QString here = "127.0.0.1:%1\n";
    QTest::newRow("API key first") << "key" << none << file << loopback << here << QByteArray("Bearer key");
    QTest::newRow("empty API key") << ""
                                   << "tok" << file << loopback << here << QByteArray("Bearer tok");
    QTest::newRow("server's file on loopback")
        << none << none << file << loopback << here << QByteArray("Bearer srv-token");
    QTest::newRow("server's file on localhost, server on every address")
        << none << "" << file << "LocalHost"
        << "0.0.0.0:%1" << QByteArray("Bearer srv-token");
    QTest::newRow("server's file, another loopback port")
        << none << none << file << loopback << "127.0.0.1:1" << QByteArray();
    QTest::newRow("server's file, no address") << none << none << file << loopback << none << QByteArray();
    QTest::newRow("no file") << none << none << QByteArray() << loopback << here << QByteArray();
    QTest::newRow("blank file") << ""
                                << "" << QByteArray(" \n\n") << loopback << here << QByteArray();
}

void tst_BackendClient::tokenChoice() {
    QFETCH(QString, apiKey);
    QFETCH(QString, backendToken);
    QFETCH(QByteArray, tokenFile);
    QFETCH(QString, host);
    QFETCH(QString, served);
    QFETCH(QByteArray, authorization);

    TemporaryEnvironment environment;
    QFile file(environment.filePath("server-token"));
    QVERIFY(tokenFile.isEmpty() || (file.open(QIODevice::WriteOnly) && file.write(tokenFile) > 0));
    file.close();
    InMemoryKeyValueStore defaults;
    KeychainService keychain(defaults);
    for (const auto& [account, value] : {std::pair{KeychainService::apiKeyAccount, apiKey},
                                         std::pair{KeychainService::backendTokenAccount, backendToken}}) {
        if (value != "-") {
            keychain.write(account, value);
        }
    }
    Service service([&] { return BackendToken::fromCredentials(keychain); },
                    {.serverTokenFile = file.fileName()});
    if (served != QLatin1String("-")) {
        environment.write("server-address", served.arg(service.server.port()).toUtf8());
    }
    service.settings.backendBaseURL = QStringLiteral("http://%1:%2").arg(host).arg(service.server.port());
    service.server.fallback = {200, healthAnswer};

    QVERIFY(finish(service.client->health()).ok());
    QCOMPARE(service.server.requests.size(), 1);
    QCOMPARE(service.server.requests[0].headers.value("authorization"), authorization);
    // The server's file is only for a service on this machine.
    QVERIFY(!BackendUrl::isLoopback(QUrl("http://localhost.example.com")));
}

void tst_BackendClient::answers_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("error"); // domain and description; empty: success

    const QString json = ErrorDomain::json + ' ';
    const QString backend = ErrorDomain::backend + ' ';
    QTest::newRow("201, only the request id") << 201 << QByteArray(R"({"requestId":"only"})") << "";
    QTest::newRow("204 has no JSON") << 204 << QByteArray() << json + formatError;
    QTest::newRow("401 text") << 401 << QByteArray("invalid token\n") << backend + "invalid token\n";
    QTest::newRow("500 not UTF-8") << 500 << QByteArray("\xff\xfe\xfd") << backend + "Unknown backend error";
    QTest::newRow("503 empty") << 503 << QByteArray() << backend;
    QTest::newRow("200 with a web page")
        << 200 << QByteArray("<html>captive portal</html>") << json + formatError;
}

void tst_BackendClient::answers() {
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, error);

    Service service;
    service.server.fallback = {status, body};
    const auto result = service.transcribe();
    QCOMPARE(result.ok() ? result->requestId : result.error().domain + ' ' + result.error().description,
             error.isEmpty() ? "only" : error);
}

void tst_BackendClient::transportFailures() {
    const PTTError timedOut{ErrorDomain::network, -1001, "The request timed out."};
    Service service({}, {.timeoutSeconds = 0.3, .serverTokenFile = {}});
    service.server.fallback = LoopbackHttpServer::silence();
    QCOMPARE(service.transcribe().error(), timedOut);
    // The time-out also covers an answer that stops halfway.
    service.server.fallback = {.body = R"({"text":"cut short"})", .cutAfter = 10, .hold = true};
    QCOMPARE(service.transcribe().error(), timedOut);

    service.server.stop();
    QCOMPARE(service.transcribe().error(),
             (PTTError{ErrorDomain::network, -1004, "Could not connect to the server."}));

    // A base URL that is not http(s) sends nothing at all.
    LoopbackHttpServer untouched;
    const QString port = QString::number(untouched.port());
    for (const QString& bad :
         {"http://bad host:" + port, "127.0.0.1:" + port, "ftp://127.0.0.1:" + port, QString()}) {
        service.settings.backendBaseURL = bad;
        QCOMPARE(finish(service.client->edit({})).error(),
                 (PTTError{ErrorDomain::network, -1000, "unsupported URL"}));
    }
    QVERIFY(untouched.requests.isEmpty());
}

void tst_BackendClient::controlCharactersNeverArrive() {
    // An escape sequence pasted into a terminal is acted on: none survives, tab and line feed do.
    Service service;
    service.server.fallback = {
        200, R"({"text":"\u001b]0;x\u0007red\u009b1m\r\nnext\tline\u007f","requestId":"c"})"};
    QCOMPARE(service.transcribe()->text, u"]0;xred1m\nnext\tline"_s);
    QCOMPARE(finish(service.client->edit({}))->text, u"]0;xred1m\nnext\tline"_s);
}

void tst_BackendClient::othersServersGetNothing_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("address"); // the listening socket's, as the kernel writes it
    QTest::addColumn<uint>("owner");      // added to our uid
    QTest::addColumn<bool>("refused");
    QTest::newRow("ours") << "tcp"
                          << "0100007F" << 0u << false;
    QTest::newRow("another user's on 127.0.0.1") << "tcp"
                                                 << "0100007F" << 1u << true;
    QTest::newRow("another user's on every address") << "tcp"
                                                     << "00000000" << 1u << true;
    QTest::newRow("another user's on ::1") << "tcp6"
                                           << "00000000000000000000000001000000" << 1u << true;
    QTest::newRow("another user's on another address") << "tcp"
                                                       << "0501A8C0" << 1u << false;
}

void tst_BackendClient::othersServersGetNothing() {
    QFETCH(QString, table);
    QFETCH(QString, address);
    QFETCH(uint, owner);
    QFETCH(bool, refused);
    TemporaryEnvironment tables;
    Service service([] { return std::optional<QString>("secret"); });
    const QString row =
        u"   0: %1:%2 00000000:0000 0A 00000000:00000000 00:00000000 00000000 %3 0 4242 1\n"_s.arg(
            address, QString::number(service.server.port(), 16).toUpper().rightJustified(4, u'0'),
            QString::number(::getuid() + owner));
    tables.write(table,
                 "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid\n" +
                     row.toLatin1());
    BackendClientOptions options{.serverTokenFile = {}, .socketTables = tables.path()};
    options.networkAccessManager = &service.network;
    BackendClient client([&service] { return service.settings; },
                         [] { return std::optional<QString>("secret"); }, options);
    service.server.fallback = {200, healthAnswer};

    const auto health = finish(client.health());
    QCOMPARE(health.ok(), !refused);
    QCOMPARE(service.server.requests.size(), refused ? 0 : 1);
    QVERIFY(health.ok() || health.error().description.contains(u"another user"_s));
}

void tst_BackendClient::redirectsStayOnTheServer() {
    // The token must not follow a redirect to whoever it names.
    Service service([] { return std::optional<QString>("secret"); });
    LoopbackHttpServer elsewhere;
    elsewhere.fallback = {200, healthAnswer};
    service.server.fallback = {307, {}, {{"Location", elsewhere.url("/v1/ptt/health").toUtf8()}}};
    QVERIFY(!finish(service.client->health()).ok());
    QVERIFY(elsewhere.requests.isEmpty());
}

void tst_BackendClient::warmUpAndUploadShareOneConnection() {
    Service service;
    QSignalSpy finished(&service.network, &QNetworkAccessManager::finished);
    service.client->warmUp(QUrl(service.server.url("/v1/ptt/health")));
    QVERIFY(finished.wait(5000));
    service.server.fallback = {200, transcribeAnswer};
    QVERIFY(service.transcribe().ok());

    const auto& seen = service.server.requests;
    QCOMPARE(seen.size(), 2);
    QCOMPARE(described(seen[0]), QStringList{"HEAD /v1/ptt/health"});
    QCOMPARE(seen[1].method, "POST");
    QCOMPARE(seen[1].peerPort, seen[0].peerPort);
}

void tst_BackendClient::destroyingTheClientEndsItsCalls() {
    Service service;
    service.server.fallback = LoopbackHttpServer::silence();
    auto result = std::make_shared<std::optional<Result<PTTTranscribeResponse>>>();
    keepResult(service.client->transcribe("wav", "ptt.wav", "audio/wav"), result);
    QVERIFY(QTest::qWaitFor([&service] { return !service.server.requests.isEmpty(); }, 5000));
    QVERIFY(!result->has_value());
    service.client.reset();
    QVERIFY(result->has_value());
    QCOMPARE((*result)->error(), (PTTError{ErrorDomain::network, -999, "cancelled"}));
}

QTEST_GUILESS_MAIN(tst_BackendClient)
#include "tst_BackendClient.moc"
