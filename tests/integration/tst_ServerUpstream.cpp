#include "ServerProcess.h"
#include "StandInUpstream.h"
#include "WavBytes.h"
#include "wav/WavParser.h"
#include "wire/PTTEditResponse.h"
#include "wire/PTTTranscribeResponse.h"

#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <set>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const std::string upstreamKey = "sk-test-0123456789abcdefghij";

httplib::Result postEdit(ServerProcess& server, const nlohmann::json& body) {
    return server.client()->Post("/v1/ptt/edit", server.authorization(), body.dump(), "application/json");
}

httplib::Result postAudio(ServerProcess& server, const QByteArray& wav, const httplib::Headers& extra = {}) {
    httplib::Headers headers = server.authorization();
    headers.insert(extra.begin(), extra.end());
    return server.client()->Post("/v1/ptt/transcribe", headers, wav.constData(), std::size_t(wav.size()),
                                 "audio/wav");
}

QByteArray configFor(const std::string& baseUrl) {
    return QByteArray::fromStdString(nlohmann::json{
        {"upstreamUrl", baseUrl},
        {"upstreamKey", upstreamKey},
        {"transcribeModel", "whisper-1"},
        {"editModel", "stand-in-chat"},
        {"upstreamTimeoutSeconds", 1}}.dump());
}

} // namespace

// The OpenAI-compatible path: what the server sends upstream, and how upstream failures reach the
// app.
class tst_ServerUpstream : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void transcriptionForm();
    void editMessages_data();
    void editMessages();
    void everyEditHasItsOwnInstructions();
    void backtrackNeverLosesEarlierText_data();
    void backtrackNeverLosesEarlierText();
    void upstreamFailures_data();
    void upstreamFailures();
    void unreachableUpstream();
    void checkReportsTheConfiguration();

private:
    std::unique_ptr<StandInUpstream> m_upstream;
    std::unique_ptr<ServerProcess> m_server;
};

void tst_ServerUpstream::initTestCase() {
    m_upstream = std::make_unique<StandInUpstream>();
    ServerProcess::Options options;
    options.configJson = configFor(m_upstream->baseUrl());
    m_server = std::make_unique<ServerProcess>(options);
    QString failure;
    QVERIFY2(m_server->start(&failure), qPrintable(failure));
}

void tst_ServerUpstream::cleanupTestCase() {
    m_server.reset();
    m_upstream.reset();
}

void tst_ServerUpstream::cleanup() {
    m_upstream->reset();
    m_upstream->setChatReply([](const nlohmann::json&) { return std::string("EDITED"); });
}

void tst_ServerUpstream::transcriptionForm() {
    const QByteArray stereo = WavBytes::tone({1, 2, 44100, 16}, 1.5);
    const auto answer = postAudio(
        *m_server, stereo, {{"x-ptt-language-hint", "es-ES"}, {"x-ptt-prompt", "Kubernetes, ñandú, OAuth"}});
    QVERIFY(answer);
    QCOMPARE(answer->status, 200);
    const auto response = PTTTranscribeResponse::fromJson(QByteArray::fromStdString(answer->body));
    QVERIFY(response.ok());
    QCOMPARE(response->text, QStringLiteral("upstream transcript"));
    QCOMPARE(response->language, QStringLiteral("es"));
    QVERIFY(qAbs(response->durationSeconds.value_or(0) - 1.5) < 0.01);

    const auto sent = m_upstream->lastRequest();
    QCOMPARE(sent.path, std::string("/v1/audio/transcriptions"));
    QCOMPARE(sent.headers.find("Authorization")->second, "Bearer " + upstreamKey);
    QCOMPARE(sent.form.at("model").content, std::string("whisper-1"));
    QCOMPARE(sent.form.at("language").content, std::string("es"));
    QCOMPARE(sent.form.at("prompt").content, std::string("Kubernetes, ñandú, OAuth"));
    QCOMPARE(sent.form.at("response_format").content, std::string("json"));
    const auto& file = sent.form.at("file");
    QCOMPARE(file.filename, std::string("audio.wav"));
    QCOMPARE(file.content_type, std::string("audio/wav"));
    // The upstream gets the recording as the recognisers take it.
    const auto audio = WavParser::parse(file.content);
    QVERIFY(audio.ok());
    QVERIFY(audio->isRecognizerFormat());
    QVERIFY(qAbs(audio->durationSeconds() - 1.5) < 0.01);

    QVERIFY(postAudio(*m_server, WavBytes::tone({}, 0.5)));
    const auto plain = m_upstream->lastRequest();
    QVERIFY(!plain.form.count("language"));
    QVERIFY(!plain.form.count("prompt"));
}

void tst_ServerUpstream::editMessages_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QStringList>("instructions"); // in the system message
    QTest::addColumn<QStringList>("userText");     // in the user message

    QTest::newRow("light polish") << QByteArray(R"({"mode":"self_correction","inputText":"so um we ship it",)"
                                                R"("polishLevel":"light","sourceApp":"Slack"})")
                                  << QStringList{QStringLiteral("filler"),
                                                 QStringLiteral("Keep every other word"),
                                                 QStringLiteral("\"Slack\"")}
                                  << QStringList{
                                         QStringLiteral("<dictation>\nso um we ship it\n</dictation>")};
    QTest::newRow("professional polish")
        << QByteArray(
               R"({"mode":"self_correction","inputText":"gonna be late lol","polishLevel":"professional"})")
        << QStringList{QStringLiteral("professional tone")}
        << QStringList{QStringLiteral("gonna be late lol")};
    QTest::newRow("polish without a level")
        << QByteArray(R"({"mode":"self_correction","inputText":"a b c"})")
        << QStringList{QStringLiteral("corrects themselves")} << QStringList{};
    QTest::newRow("condense for Claude")
        << QByteArray(R"({"mode":"prompt_prune","inputText":"could you please write a parser",)"
                      R"("pruneLevel":"max","targetModel":"claude"})")
        << QStringList{QStringLiteral("Do not answer"), QStringLiteral("telegraphic"),
                       QStringLiteral("Claude")}
        << QStringList{
               QStringLiteral("<dictated_prompt>\ncould you please write a parser\n</dictated_prompt>")};
    QTest::newRow("condense for Llama")
        << QByteArray(
               R"({"mode":"prompt_prune","inputText":"x y z w","pruneLevel":"light","targetModel":"llama"})")
        << QStringList{QStringLiteral("pleasantries"), QStringLiteral("\"Task:\"")} << QStringList{};
    QTest::newRow("command on a selection")
        << QByteArray(R"({"mode":"selection_command","inputText":"make it shorter",)"
                      R"("originalText":"This is a long sentence that goes on.","sourceApp":"Mail"})")
        << QStringList{QStringLiteral("selected text unchanged"), QStringLiteral("\"Mail\"")}
        << QStringList{
               QStringLiteral("<instruction>\nmake it shorter\n</instruction>"),
               QStringLiteral("<selected_text>\nThis is a long sentence that goes on.\n</selected_text>")};
    QTest::newRow("backtrack")
        << QByteArray(R"({"mode":"backtrack","inputText":"no, Tuesday","originalText":"See you on Monday."})")
        << QStringList{QStringLiteral("previous text unchanged, then a space, then the new text"),
                       QStringLiteral("Never drop")}
        << QStringList{QStringLiteral("<previous_text>\nSee you on Monday.\n</previous_text>"),
                       QStringLiteral("<new_text>\nno, Tuesday\n</new_text>")};
}

void tst_ServerUpstream::editMessages() {
    QFETCH(QByteArray, request);
    QFETCH(QStringList, instructions);
    QFETCH(QStringList, userText);

    const auto answer = postEdit(*m_server, nlohmann::json::parse(request.toStdString()));
    QVERIFY(answer);
    QCOMPARE(answer->status, 200);
    const auto response = PTTEditResponse::fromJson(QByteArray::fromStdString(answer->body));
    QVERIFY(response.ok());
    QVERIFY(!response->requestId.isEmpty());

    const auto sent = m_upstream->lastRequest();
    QCOMPARE(sent.path, std::string("/v1/chat/completions"));
    const auto body = nlohmann::json::parse(sent.body);
    QCOMPARE(body["model"].get<std::string>(), std::string("stand-in-chat"));
    QCOMPARE(body["temperature"].get<int>(), 0);
    QCOMPARE(body["messages"].size(), std::size_t(2));
    QCOMPARE(body["messages"][0]["role"].get<std::string>(), std::string("system"));
    QCOMPARE(body["messages"][1]["role"].get<std::string>(), std::string("user"));
    const QString system = QString::fromStdString(body["messages"][0]["content"].get<std::string>());
    const QString user = QString::fromStdString(body["messages"][1]["content"].get<std::string>());
    for (const QString& expected : instructions) {
        QVERIFY2(system.contains(expected, Qt::CaseInsensitive), qPrintable(expected));
    }
    for (const QString& expected : userText) {
        QVERIFY2(user.contains(expected), qPrintable(expected));
    }
    QVERIFY(system.contains(QLatin1String("Output only the resulting text")));
}

void tst_ServerUpstream::everyEditHasItsOwnInstructions() {
    std::set<std::string> prompts;
    int requests = 0;
    const auto record = [&](const nlohmann::json& request) {
        const auto answer = postEdit(*m_server, request);
        QVERIFY(answer && answer->status == 200);
        prompts.insert(nlohmann::json::parse(m_upstream->lastRequest().body)["messages"][0]["content"]);
        ++requests;
    };
    for (const char* level : {"light", "medium", "professional"}) {
        record({{"mode", "self_correction"}, {"inputText", "a b c"}, {"polishLevel", level}});
    }
    for (const char* level : {"light", "medium", "max"}) {
        for (const char* target : {"universal", "claude", "gpt", "gemini", "llama"}) {
            record({{"mode", "prompt_prune"},
                    {"inputText", "a b c d"},
                    {"pruneLevel", level},
                    {"targetModel", target}});
        }
    }
    record({{"mode", "selection_command"}, {"inputText", "translate"}, {"originalText", "hola"}});
    record({{"mode", "backtrack"}, {"inputText", "wait, no"}, {"originalText", "one two"}});
    QCOMPARE(int(prompts.size()), requests);
}

void tst_ServerUpstream::backtrackNeverLosesEarlierText_data() {
    QTest::addColumn<QString>("previous");
    QTest::addColumn<QString>("dictation");
    QTest::addColumn<QString>("modelAnswer");
    QTest::addColumn<QString>("expected");
    QTest::newRow("a real correction")
        << QStringLiteral("Let's meet on Monday at the office.") << QStringLiteral("No, Tuesday.")
        << QStringLiteral("Let's meet on Tuesday at the office.")
        << QStringLiteral("Let's meet on Tuesday at the office.");
    QTest::newRow("a new sentence, appended")
        << QStringLiteral("I sent the report this morning.")
        << QStringLiteral("Actually, the numbers look good.")
        << QStringLiteral("I sent the report this morning. Actually, the numbers look good.")
        << QStringLiteral("I sent the report this morning. Actually, the numbers look good.");
    QTest::newRow("model dropped the earlier text")
        << QStringLiteral("I sent the report this morning.")
        << QStringLiteral("Actually, the numbers look good.")
        << QStringLiteral("Actually, the numbers look good.")
        << QStringLiteral("I sent the report this morning. Actually, the numbers look good.");
    QTest::newRow("short text replaced whole") << QStringLiteral("Monday") << QStringLiteral("no, Tuesday")
                                               << QStringLiteral("Tuesday") << QStringLiteral("Tuesday");
}

void tst_ServerUpstream::backtrackNeverLosesEarlierText() {
    QFETCH(QString, previous);
    QFETCH(QString, dictation);
    QFETCH(QString, modelAnswer);
    QFETCH(QString, expected);
    m_upstream->setChatReply(
        [answer = modelAnswer.toStdString()](const nlohmann::json&) { return "\n" + answer + "\n"; });
    const auto answer = postEdit(*m_server, {{"mode", "backtrack"},
                                             {"inputText", dictation.toStdString()},
                                             {"originalText", previous.toStdString()}});
    QVERIFY(answer);
    QCOMPARE(answer->status, 200);
    const auto response = PTTEditResponse::fromJson(QByteArray::fromStdString(answer->body));
    QVERIFY(response.ok());
    QCOMPARE(response->text, expected);
}

void tst_ServerUpstream::upstreamFailures_data() {
    QTest::addColumn<QString>("endpoint");
    QTest::addColumn<int>("upstreamStatus"); // 0: no answer in time
    QTest::addColumn<QString>("upstreamBody");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("reason");
    for (const QString& endpoint : {QStringLiteral("transcribe"), QStringLiteral("edit")}) {
        const auto name = [&](const char* what) {
            return (endpoint + QLatin1Char(' ') + QLatin1String(what)).toUtf8();
        };
        QTest::newRow(name("overloaded").constData())
            << endpoint << 503 << QString() << 502 << QStringList{QStringLiteral("upstream answered 503")};
        QTest::newRow(name("rate limited").constData())
            << endpoint << 429 << QStringLiteral(R"({"error":{"message":"Rate limit reached\nslow down"}})")
            << 502 << QStringList{QStringLiteral("429"), QStringLiteral("Rate limit reached slow down")};
        QTest::newRow(name("bad key").constData())
            << endpoint << 401 << QStringLiteral(R"({"error":{"message":"Incorrect API key provided"}})")
            << 502 << QStringList{QStringLiteral("401"), QStringLiteral("Incorrect API key")};
        QTest::newRow(name("gateway error").constData())
            << endpoint << 502 << QStringLiteral("<html>Bad Gateway</html>") << 502
            << QStringList{QStringLiteral("upstream answered 502")};
        QTest::newRow(name("no answer").constData())
            << endpoint << 0 << QString() << 504 << QStringList{QStringLiteral("timeout")};
    }
}

void tst_ServerUpstream::upstreamFailures() {
    QFETCH(QString, endpoint);
    QFETCH(int, upstreamStatus);
    QFETCH(QString, upstreamBody);
    QFETCH(int, status);
    QFETCH(QStringList, reason);

    const bool transcribing = endpoint == QLatin1String("transcribe");
    const std::string path = transcribing ? "/v1/audio/transcriptions" : "/v1/chat/completions";
    if (upstreamStatus == 0) {
        m_upstream->hold(path);
    } else {
        m_upstream->failWith(path, upstreamStatus, upstreamBody.toStdString());
    }
    const auto answer = transcribing
                            ? postAudio(*m_server, WavBytes::tone({}, 0.5))
                            : postEdit(*m_server, {{"mode", "self_correction"}, {"inputText", "a b c"}});
    QVERIFY(answer);
    QCOMPARE(answer->status, status);
    for (const QString& part : reason) {
        QVERIFY2(QString::fromStdString(answer->body).contains(part), answer->body.c_str());
    }
    QVERIFY(answer->body.find('\n') == std::string::npos);
}

void tst_ServerUpstream::unreachableUpstream() {
    // A port that was free a moment ago and that nobody listens on.
    int closedPort = 0;
    {
        const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        QCOMPARE(::bind(probe, reinterpret_cast<sockaddr*>(&address), length), 0);
        QCOMPARE(::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length), 0);
        closedPort = ntohs(address.sin_port);
        ::close(probe);
    }
    ServerProcess::Options options;
    options.configJson = configFor("http://127.0.0.1:" + std::to_string(closedPort) + "/v1");
    ServerProcess server(options);
    QString failure;
    QVERIFY2(server.start(&failure), qPrintable(failure));
    const auto answer = postAudio(server, WavBytes::tone({}, 0.5));
    QVERIFY(answer);
    QCOMPARE(answer->status, 502);
    QVERIFY(QString::fromStdString(answer->body).contains(QLatin1String("upstream unreachable")));

    QByteArray output;
    QCOMPARE(server.runToCompletion({QStringLiteral("--check")}, &output), 1);
    QVERIFY2(output.contains("upstream          FAILED"), output.constData());
}

void tst_ServerUpstream::checkReportsTheConfiguration() {
    QByteArray output;
    ServerProcess::Options options;
    options.configJson = configFor(m_upstream->baseUrl());
    options.environment = {{"ORLAVO_EDIT_MODEL", "other-chat"}};
    ServerProcess configuration(options);
    QCOMPARE(configuration.runToCompletion({QStringLiteral("--check")}, &output), 0);
    QVERIFY2(output.contains("transcription     openai, model whisper-1"), output.constData());
    QVERIFY2(output.contains("edits             upstream, model other-chat"), output.constData());
    QVERIFY2(output.contains("upstream          ok: GET /models answered 200; \"whisper-1\" listed; "
                             "\"other-chat\" NOT listed"),
             output.constData());
    QVERIFY(output.contains("ending \"ghij\""));
    QVERIFY(!output.contains(QByteArray::fromStdString(upstreamKey)));
    QVERIFY2(!QFile::exists(configuration.tokenFile()), "--check writes nothing");
}

QTEST_GUILESS_MAIN(tst_ServerUpstream)
#include "tst_ServerUpstream.moc"
