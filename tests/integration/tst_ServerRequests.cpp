#include "RawHttp.h"
#include "ServerProcess.h"
#include "StandInUpstream.h"
#include "WavBytes.h"
#include "core/wire/PTTHealthResponse.h"

#include <QFile>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace {

constexpr bool untilClosed = true;

std::string request(const std::string& head, const std::string& body) {
    return head + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

ServerProcess::Options withUpstream(const std::string& upstream) {
    return {QByteArray::fromStdString(nlohmann::json{
                {"engine", "openai"},
                {"upstreamUrl", upstream},
                {"editModel", "stand-in-chat"},
                {"maxAudioBytes", 1 << 20},
                {"requestTimeoutSeconds", 1},
                {"workers", 2}}.dump()),
            {}};
}

} // namespace

// Routes, authentication and every kind of bad input, against a server whose only engines are a
// stand-in upstream: whatever is refused must never reach it.
class tst_ServerRequests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void healthNeedsNoToken();
    void badInput_data();
    void badInput();
    void oversizedBodyIsRefusedBeforeItArrives();
    void slowClientsTimeOut();
    void headIsBoundedBeforeTheToken_data();
    void headIsBoundedBeforeTheToken();
    void idleClientsHoldNoWorker();
    void secondServerOnThePortExits();
    void logLinesCarryNoContent();
    void tokenFileIsKeptAcrossRestarts();
    void configuredTokenReplacesTheFile();

private:
    // The start of a request to `path` with the server's token and `headers` (each ending in CRLF).
    std::string head(const std::string& path, const std::string& headers = {}) const {
        return "POST " + path + " HTTP/1.1\r\nHost: t\r\nAuthorization: Bearer " + m_server.token() + "\r\n" +
               headers;
    }
    void expectServing() {
        const auto answer = m_server.client()->Get("/v1/ptt/health");
        QVERIFY(answer && answer->status == 200);
        QCOMPARE(m_upstream.requestCount(), std::size_t(0));
    }

    StandInUpstream m_upstream;
    ServerProcess m_server{withUpstream(m_upstream.baseUrl())};
};

void tst_ServerRequests::initTestCase() {
    QString failure;
    QVERIFY2(m_server.start(&failure), qPrintable(failure));
}

void tst_ServerRequests::healthNeedsNoToken() {
    auto client = m_server.client();
    const auto answer = client->Get("/v1/ptt/health");
    QVERIFY(answer && answer->status == 200);
    const auto health = PTTHealthResponse::fromJson(QByteArray::fromStdString(answer->body));
    QVERIFY(health.ok() && health->ok && health->groqConfigured && health->authConfigured);
    QCOMPARE(health->service, u"orlavo-server"_s);
    // The app warms its connection with a HEAD request.
    const auto warm = client->Head("/v1/ptt/health");
    QVERIFY(warm && warm->status == 200 && warm->body.empty());
}

void tst_ServerRequests::badInput_data() {
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("reason");
    const auto row = [](const char* name, const std::string& raw, int status, const char* reason) {
        QTest::newRow(name) << QByteArray::fromStdString(raw) << status << QString::fromUtf8(reason);
    };
    const std::string transcribe = head("/v1/ptt/transcribe");
    const std::string edit = head("/v1/ptt/edit", "Content-Type: application/json\r\n");
    const QByteArray good = WavBytes::tone({}, 0.5);
    const auto wav = [&](const QByteArray& bytes) { return request(transcribe, bytes.toStdString()); };

    row("not a WAV", wav("just some text, not audio at all"), 400, "not a WAV file");
    row("truncated upload", wav(good.left(good.size() / 2)), 400, "announces");
    row("compressed audio", wav(WavBytes::file({0x55, 1, 16000, 16}, QByteArray(3200, 0))), 415,
        "compressed");
    row("rate too low", wav(WavBytes::tone({1, 1, 4000, 16}, 0.5)), 415, "4000 Hz");
    row("empty body", request(transcribe, ""), 400, "empty body");
    row("no length", transcribe + "\r\n", 411, "Content-Length required");
    row("two lengths", transcribe + "Content-Length: 4\r\nContent-Length: 5\r\n\r\nRIFF", 400,
        "Content-Length");
    row("compressed body", request(head("/v1/ptt/transcribe", "Content-Encoding: gzip\r\n"), "xxxx"), 415,
        "compressed");
    row("not audio", request(head("/v1/ptt/transcribe", "Content-Type: application/json\r\n"), "{}"), 415,
        "media type");
    row("control character in the prompt",
        wav(good).insert(transcribe.size(), "x-ptt-prompt: kubectl\x01 helm\r\n"), 400,
        "x-ptt-prompt holds a control character");
    row("tab in the language hint", wav(good).insert(transcribe.size(), "x-ptt-language-hint: e\tn\r\n"), 400,
        "x-ptt-language-hint holds a control character");
    // 320 KB under the byte limit, but 40 s of 8-bit 8 kHz would take 2.5 MB once converted.
    row("longer than the byte limit allows", wav(WavBytes::tone({1, 1, 8000, 8}, 40)), 413,
        "over the limit of 33 s");

    row("edit not JSON", request(edit, "{mode: backtrack"), 400, "bad edit request");
    row("backtrack without the previous text",
        request(edit, R"({"mode":"backtrack","inputText":"no, Tuesday"})"), 400, "originalText");
    row("unknown polish level",
        request(edit, R"({"mode":"self_correction","inputText":"a b c","polishLevel":"x"})"), 400,
        "polishLevel");
    row("blank text", request(edit, R"({"mode":"prompt_prune","inputText":"  "})"), 400,
        "inputText is empty");

    row("unknown route", "GET /v1/ptt/status HTTP/1.1\r\nHost: t\r\n\r\n", 404, "no such endpoint");
    row("wrong method", "GET" + transcribe.substr(4) + "\r\n", 405, "not allowed");
    row("no token", request("POST /v1/ptt/transcribe HTTP/1.1\r\nHost: t\r\n", good.toStdString()), 401,
        "missing or invalid bearer token");
}

void tst_ServerRequests::badInput() {
    QFETCH(QByteArray, raw);
    QFETCH(int, status);
    QFETCH(QString, reason);
    const auto exchange = RawHttp::send(m_server.port(), raw.toStdString(), 5s);
    QCOMPARE(exchange.status(), status);
    const QString body = QString::fromStdString(exchange.body());
    QVERIFY2(body.contains(reason), qPrintable(body));
    QVERIFY2(!body.contains(QLatin1Char('\n')), "the reason is one line");
    expectServing();
}

void tst_ServerRequests::oversizedBodyIsRefusedBeforeItArrives() {
    // 100 MB announced, 1 KB sent: the answer can only come before the body.
    const auto exchange = RawHttp::send(m_server.port(),
                                        head("/v1/ptt/transcribe", "Content-Length: 104857600\r\n\r\n") +
                                            std::string(1024, 'x'),
                                        10s, untilClosed);
    QCOMPARE(exchange.status(), 413);
    QVERIFY(QString::fromStdString(exchange.body()).contains(QLatin1String("over the limit")));
    QVERIFY(exchange.closedByServer);

    // A client that announces nothing and streams chunks is cut off at the limit.
    const std::string chunk(64 * 1024, 'x');
    std::size_t offered = 0;
    const auto streamed = m_server.client()->Post(
        "/v1/ptt/transcribe", m_server.authorization(),
        [&](std::size_t, httplib::DataSink& sink) {
            offered += chunk.size();
            return offered > (4u << 20) ? (sink.done(), true) : sink.write(chunk.data(), chunk.size());
        },
        "audio/wav");
    QVERIFY(!streamed || streamed->status == 413);
    expectServing();
}

void tst_ServerRequests::slowClientsTimeOut() {
    // The server takes at most one second (its configured limit) for a whole request.
    const auto stalledBody = RawHttp::send(
        m_server.port(), head("/v1/ptt/transcribe", "Content-Length: 32044\r\n\r\nRIFF"), 10s, untilClosed);
    QVERIFY2(stalledBody.status() == 408, stalledBody.response.c_str());
    QVERIFY(QString::fromStdString(stalledBody.body()).contains(QLatin1String("timeout")));
    QVERIFY(stalledBody.closedByServer);
    QVERIFY2(RawHttp::send(m_server.port(), head("/v1/ptt/transcribe"), 10s, untilClosed).closedByServer,
             "a request whose headers never end is dropped");
    expectServing();
}

void tst_ServerRequests::headIsBoundedBeforeTheToken_data() {
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<int>("status");
    const std::string start = "POST /v1/ptt/transcribe HTTP/1.1\r\nHost: t\r\n";
    const auto headers = [](int count) {
        std::string lines;
        for (int i = 0; i < count; ++i) {
            lines += "X-Filler-" + std::to_string(i) + ": " + std::string(100, 'v') + "\r\n";
        }
        return lines;
    };
    QTest::newRow("one endless line")
        << QByteArray::fromStdString(start + "X-Long: " + std::string(40000, 'a')) << 431;
    QTest::newRow("too many headers") << QByteArray::fromStdString(start + headers(150) + "\r\n") << 431;
    QTest::newRow("many headers, within the limits")
        << QByteArray::fromStdString(start + headers(90) + "\r\n") << 401;
}

void tst_ServerRequests::headIsBoundedBeforeTheToken() {
    QFETCH(QByteArray, raw);
    QFETCH(int, status);
    const bool refused = status == 431;
    const auto exchange = RawHttp::send(m_server.port(), raw.toStdString(), 5s, refused);
    QCOMPARE(exchange.status(), status);
    QVERIFY(!refused || exchange.closedByServer);
    expectServing();
}

void tst_ServerRequests::idleClientsHoldNoWorker() {
    // Ten times as many silent or half-sent requests as workers: a health check and a real request
    // are still answered, long before any of them times out.
    std::vector<std::unique_ptr<RawHttp::OpenConnection>> held;
    for (int i = 0; i < 10; ++i) {
        held.push_back(std::make_unique<RawHttp::OpenConnection>(m_server.port(), ""));
        held.push_back(std::make_unique<RawHttp::OpenConnection>(m_server.port(), head("/v1/ptt/edit")));
    }
    auto client = m_server.client();
    client->set_read_timeout(3s);
    const auto health = client->Get("/v1/ptt/health");
    QVERIFY(health && health->status == 200);
    const auto edit =
        m_server.postEdit(R"({"mode":"self_correction","inputText":"one two three","polishLevel":"off"})");
    QVERIFY(edit && edit->status == 200);
}

void tst_ServerRequests::secondServerOnThePortExits() {
    ServerProcess second(withUpstream(m_upstream.baseUrl()));
    QByteArray output;
    QCOMPARE(second.runToCompletion({u"--listen"_s, u"127.0.0.1:%1"_s.arg(m_server.port())}, &output), 1);
    QVERIFY2(output.contains("already in use"), output.constData());
    expectServing();
}

void tst_ServerRequests::logLinesCarryNoContent() {
    QVERIFY(m_server.postAudio(WavBytes::tone({}, 0.3), {{"x-ptt-prompt", "SECRET-PROMPT"}}));
    const auto edited =
        m_server.postEdit(R"({"mode":"self_correction","inputText":"SECRET-DICTATION words here"})");
    QVERIFY(edited);

    // The line is written just after the answer is sent.
    QTRY_VERIFY(m_server.log().contains("POST /v1/ptt/edit 200 in="));
    const QByteArray log = m_server.log();
    QVERIFY(log.contains("POST /v1/ptt/transcribe 200 in=") && log.contains("GET /v1/ptt/health 200"));
    QVERIFY(!log.contains("SECRET") && !log.contains("upstream transcript"));
    QVERIFY(!log.contains(QByteArray::fromStdString(m_server.token())));
}

void tst_ServerRequests::tokenFileIsKeptAcrossRestarts() {
    // The generated token (its format and mode are unit-tested) survives an orderly stop.
    const std::string first = m_server.token();
    QVERIFY(!first.empty());
    QCOMPARE(m_server.stop(), 0); // SIGTERM is an orderly stop
    QString failure;
    QVERIFY2(m_server.start(&failure), qPrintable(failure));
    QCOMPARE(m_server.token(), first);
    const auto answer = m_server.postEdit(R"({"mode":"self_correction","inputText":"one two three"})", first);
    QVERIFY(answer && answer->status == 200);
}

void tst_ServerRequests::configuredTokenReplacesTheFile() {
    ServerProcess server(
        {R"({"token":"configured-token-0123456789","localDecoders":1,"engine":"local"})", {}});
    QString failure;
    QVERIFY2(server.start(&failure), qPrintable(failure));
    QVERIFY(!QFile::exists(server.tokenFile()));
    const std::string body = R"({"mode":"self_correction","inputText":"one two three","polishLevel":"off"})";
    const auto accepted = server.postEdit(body, "configured-token-0123456789");
    QVERIFY(accepted && accepted->status == 200);
    const auto refused = server.postEdit(body, "configured-token-012345678");
    QVERIFY(refused && refused->status == 401);
}

QTEST_GUILESS_MAIN(tst_ServerRequests)
#include "tst_ServerRequests.moc"
