#include "ServerProcess.h"
#include "StandInUpstream.h"
#include "WavBytes.h"
#include "core/backend/ServerConfigFile.h"
#include "core/wire/PTTHealthResponse.h"
#include "core/wire/PTTTranscribeResponse.h"

#include <QFile>
#include <QTest>

#include <csignal>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString standInKey = u"sk-stand-in-0123456789"_s;

PTTHealthResponse healthOf(const ServerProcess& server) {
    const auto answer = server.client()->Get("/v1/ptt/health");
    return answer ? PTTHealthResponse::fromJson(QByteArray::fromStdString(answer->body)).valueOr({})
                  : PTTHealthResponse{};
}

httplib::Result reload(const ServerProcess& server, const httplib::Headers& headers) {
    return server.client()->Post("/v1/ptt/reload", headers, std::string(), "application/json");
}

ServerEngineChoice standInChoice(const StandInUpstream& upstream) {
    return {true, QString::fromStdString(upstream.baseUrl()), standInKey, u"whisper-1"_s, u"stand-in-chat"_s};
}

} // namespace

// The recogniser switched while orlavo-server runs: through the reload route the settings window
// calls, and through SIGHUP.
class tst_ServerReload : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void switchesWithoutRestart();
    void refusedConfigurationKeepsTheEngine_data();
    void refusedConfigurationKeepsTheEngine();
};

void tst_ServerReload::switchesWithoutRestart() {
    StandInUpstream upstream;
    ServerProcess server;
    QString failure;
    QVERIFY2(server.start(&failure), qPrintable(failure));
    QCOMPARE(healthOf(server).engine, u"local"_s);

    QVERIFY(!ServerConfigFile::write(server.configFile(), standInChoice(upstream)));
    QCOMPARE(reload(server, {})->status, 401);
    const auto switched = reload(server, server.authorization());
    QVERIFY(switched && switched->status == 200);
    const auto health = PTTHealthResponse::fromJson(QByteArray::fromStdString(switched->body));
    QVERIFY(health.ok() && health->engine == u"openai"_s && health->upstreamHost == u"127.0.0.1"_s &&
            health->groqConfigured);

    const auto answer = server.postAudio(WavBytes::tone({}, 1.0));
    QVERIFY(answer && answer->status == 200);
    QCOMPARE(PTTTranscribeResponse::fromJson(QByteArray::fromStdString(answer->body))->text,
             u"upstream transcript"_s);
    QCOMPARE(upstream.lastRequest().path, std::string("/v1/audio/transcriptions"));
    QCOMPARE(upstream.lastRequest().headers.find("Authorization")->second,
             "Bearer " + standInKey.toStdString());

    // Back to this computer by a hang-up signal, as after editing the file by hand.
    QVERIFY(!ServerConfigFile::write(server.configFile(), {}));
    QCOMPARE(::kill(pid_t(server.processId()), SIGHUP), 0);
    QTRY_COMPARE_WITH_TIMEOUT(healthOf(server).engine, u"local"_s, 30000);
    QVERIFY(!healthOf(server).upstreamHost);
    const std::size_t sent = upstream.requestCount();
    QVERIFY(server.postAudio(WavBytes::tone({}, 1.0)));
    QCOMPARE(upstream.requestCount(), sent);
    QVERIFY(!server.log().contains(standInKey.toUtf8()));
}

void tst_ServerReload::refusedConfigurationKeepsTheEngine_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("reason");
    QTest::newRow("not JSON") << QByteArray("{\"engine\": ") << "not a JSON object";
    QTest::newRow("key over plain http")
        << QByteArray(R"({"upstreamUrl":"http://api.example.test/v1","upstreamKey":"k"})")
        << "travel unencrypted to api.example.test";
    QTest::newRow("offline model missing")
        << QByteArray(R"({"engine":"local","localModelDirectory":"/nonexistent/en-us"})")
        << "model is missing";
}

void tst_ServerReload::refusedConfigurationKeepsTheEngine() {
    QFETCH(QByteArray, json);
    QFETCH(QString, reason);
    StandInUpstream upstream;
    ServerProcess server;
    QVERIFY(!ServerConfigFile::write(server.configFile(), standInChoice(upstream)));
    QString failure;
    QVERIFY2(server.start(&failure), qPrintable(failure));

    QFile file(server.configFile());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(json) == json.size());
    file.close();
    const auto refused = reload(server, server.authorization());
    QVERIFY(refused);
    QCOMPARE(refused->status, 422);
    const QString body = QString::fromStdString(refused->body);
    QVERIFY2(body.contains(reason) &&
                 body.contains(u"still transcribing with the OpenAI-compatible service at 127.0.0.1"_s),
             qPrintable(body));

    const std::size_t sent = upstream.requestCount();
    const auto answer = server.postAudio(WavBytes::tone({}, 1.0));
    QVERIFY(answer && answer->status == 200);
    QCOMPARE(upstream.requestCount(), sent + 1);
    QCOMPARE(healthOf(server).engine, u"openai"_s);
}

QTEST_GUILESS_MAIN(tst_ServerReload)
#include "tst_ServerReload.moc"
