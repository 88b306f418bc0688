#include "ServerProcess.h"
#include "Speech.h"
#include "WavBytes.h"
#include "wav/WavParser.h"
#include "wire/PTTTranscribeResponse.h"

#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

namespace {

const QString meeting = QStringLiteral("the meeting starts at ten in the morning");
const QString reports = QStringLiteral("please send the reports to the team on friday morning");

Result<PTTTranscribeResponse> transcribe(ServerProcess& server, const QByteArray& wav,
                                         const std::string& language = {}) {
    auto client = server.client();
    httplib::Headers headers = server.authorization();
    headers.emplace("x-ptt-filename", "ptt.wav");
    if (!language.empty()) {
        headers.emplace("x-ptt-language-hint", language);
    }
    const auto answer =
        client->Post("/v1/ptt/transcribe", headers, wav.constData(), std::size_t(wav.size()), "audio/wav");
    if (!answer) {
        return PTTError{QStringLiteral("test"), -1,
                        QString::fromStdString("no answer: " + httplib::to_string(answer.error()))};
    }
    if (answer->status != 200) {
        return PTTError{QStringLiteral("test"), answer->status, QString::fromStdString(answer->body)};
    }
    return PTTTranscribeResponse::fromJson(QByteArray::fromStdString(answer->body));
}

bool heardMost(const QString& expected, const QString& heard) {
    const int words = int(expected.split(QLatin1Char(' ')).size());
    return Speech::wordsHeard(expected, heard) * 10 >= words * 6;
}

} // namespace

// The offline recogniser behind the real server: speech in, words out, for many clients at once.
class tst_ServerSpeech : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void recognisesSpokenEnglish_data();
    void recognisesSpokenEnglish();
    void languagesOtherThanEnglishNeedAnUpstream_data();
    void languagesOtherThanEnglishNeedAnUpstream();
    void editsNeedAChatEngine();
    void concurrentTranscriptionsAllAnswer();
    void memoryStaysFlat();

private:
    std::unique_ptr<ServerProcess> m_server;
};

void tst_ServerSpeech::initTestCase() {
    ServerProcess::Options options;
    options.configJson = R"({"localDecoders": 2})";
    m_server = std::make_unique<ServerProcess>(options);
    QString failure;
    QVERIFY2(m_server->start(&failure), qPrintable(failure));
}

void tst_ServerSpeech::cleanupTestCase() {
    m_server.reset();
}

void tst_ServerSpeech::recognisesSpokenEnglish_data() {
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<QStringList>("format");
    const QStringList recogniser{QStringLiteral("-r"), QStringLiteral("16000"), QStringLiteral("-c"),
                                 QStringLiteral("1"),  QStringLiteral("-b"),    QStringLiteral("16")};
    QTest::newRow("16 kHz mono") << reports << recogniser;
    QTest::newRow("another sentence") << meeting << recogniser;
    // Other formats are converted by the server before recognition.
    QTest::newRow("44.1 kHz stereo") << reports << QStringList{QStringLiteral("-r"), QStringLiteral("44100"),
                                                               QStringLiteral("-c"), QStringLiteral("2"),
                                                               QStringLiteral("-b"), QStringLiteral("16")};
    QTest::newRow("48 kHz 24-bit") << meeting << QStringList{QStringLiteral("-r"), QStringLiteral("48000"),
                                                             QStringLiteral("-c"), QStringLiteral("1"),
                                                             QStringLiteral("-b"), QStringLiteral("24")};
    QTest::newRow("22.05 kHz float") << reports
                                     << QStringList{QStringLiteral("-r"), QStringLiteral("22050"),
                                                    QStringLiteral("-c"), QStringLiteral("1"),
                                                    QStringLiteral("-e"), QStringLiteral("floating-point"),
                                                    QStringLiteral("-b"), QStringLiteral("32")};
}

void tst_ServerSpeech::recognisesSpokenEnglish() {
    QFETCH(QString, phrase);
    QFETCH(QStringList, format);
    const QByteArray wav = Speech::say(phrase, format);
    QVERIFY2(!wav.isEmpty(), "espeak-ng and sox make the test speech");

    const auto response = transcribe(*m_server, wav);
    QVERIFY2(response.ok(), response.ok() ? "" : qPrintable(response.error().description));
    const QString text = response->text.value_or(QString());
    QVERIFY2(heardMost(phrase, text), qPrintable(QStringLiteral("heard \"%1\"").arg(text)));
    QCOMPARE(response->language, QStringLiteral("en"));
    const auto sent = WavParser::parse(std::string_view(wav.constData(), std::size_t(wav.size())));
    QVERIFY(sent.ok());
    QVERIFY(response->durationSeconds.has_value());
    QVERIFY(qAbs(*response->durationSeconds - sent->durationSeconds()) < 0.01);
    QVERIFY(response->requestId.startsWith(QLatin1String("req_")));
}

void tst_ServerSpeech::languagesOtherThanEnglishNeedAnUpstream_data() {
    QTest::addColumn<QString>("hint");
    QTest::addColumn<int>("status");
    QTest::newRow("Spanish code") << QStringLiteral("es") << 422;
    QTest::newRow("Spanish name") << QStringLiteral("Español") << 422;
    QTest::newRow("regional English") << QStringLiteral("en-GB") << 200;
    QTest::newRow("English by name") << QStringLiteral("English") << 200;
    QTest::newRow("automatic") << QStringLiteral("auto") << 200;
}

void tst_ServerSpeech::languagesOtherThanEnglishNeedAnUpstream() {
    QFETCH(QString, hint);
    QFETCH(int, status);
    const auto response = transcribe(*m_server, WavBytes::tone({}, 0.3), hint.toStdString());
    QCOMPARE(response.ok() ? 200 : response.error().code, status);
    if (status == 422) {
        QVERIFY(response.error().description.contains(QLatin1String("needs an upstream engine")));
    }
}

void tst_ServerSpeech::editsNeedAChatEngine() {
    auto client = m_server->client();
    const auto answer =
        client->Post("/v1/ptt/edit", m_server->authorization(),
                     R"({"mode":"self_correction","inputText":"so um this is it","polishLevel":"light"})",
                     "application/json");
    QVERIFY(answer);
    QCOMPARE(answer->status, 501);
    QVERIFY(QString::fromStdString(answer->body).contains(QLatin1String("upstream chat engine")));
    // The level that asks for no edit needs no engine.
    const auto unchanged = client->Post(
        "/v1/ptt/edit", m_server->authorization(),
        R"({"mode":"self_correction","inputText":"as it was","polishLevel":"off"})", "application/json");
    QVERIFY(unchanged);
    QCOMPARE(unchanged->status, 200);
    QVERIFY(QString::fromStdString(unchanged->body).contains(QLatin1String("\"text\":\"as it was\"")));
}

void tst_ServerSpeech::concurrentTranscriptionsAllAnswer() {
    const QByteArray wav = Speech::say(meeting);
    QVERIFY(!wav.isEmpty());
    constexpr int clients = 16;
    std::vector<QString> texts(clients);
    std::vector<int> statuses(clients, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < clients; ++i) {
        threads.emplace_back([&, i] {
            const auto response = transcribe(*m_server, wav);
            statuses[std::size_t(i)] = response.ok() ? 200 : response.error().code;
            texts[std::size_t(i)] =
                response.ok() ? response->text.value_or(QString()) : response.error().description;
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int i = 0; i < clients; ++i) {
        QVERIFY2(statuses[std::size_t(i)] == 200, qPrintable(texts[std::size_t(i)]));
        QVERIFY2(heardMost(meeting, texts[std::size_t(i)]), qPrintable(texts[std::size_t(i)]));
        // Whichever decoder served it, and whatever it heard before, the same audio gives the same words.
        QCOMPARE(texts[std::size_t(i)], texts[0]);
    }
}

void tst_ServerSpeech::memoryStaysFlat() {
    const QByteArray speech = Speech::say(QStringLiteral("hello world"));
    const QByteArray notWav(40000, 'x');
    auto client = m_server->client();
    const auto one = [&](int i) {
        switch (i % 4) {
        case 0:
            return transcribe(*m_server, speech).ok();
        case 1:
            return bool(client->Post("/v1/ptt/transcribe", m_server->authorization(), notWav.constData(),
                                     std::size_t(notWav.size()), "audio/wav"));
        case 2:
            return bool(client->Post("/v1/ptt/edit", m_server->authorization(),
                                     R"({"mode":"backtrack","inputText":"no, ten","originalText":"at nine"})",
                                     "application/json"));
        default:
            return bool(client->Get("/v1/ptt/health"));
        }
    };
    for (int i = 0; i < 40; ++i) {
        QVERIFY(one(i));
    }
    const long warm = m_server->residentKilobytes();
    for (int i = 40; i < 200; ++i) {
        QVERIFY(one(i));
    }
    const long after = m_server->residentKilobytes();
    qInfo("resident memory: %ld kB after warm-up, %ld kB after 200 requests", warm, after);
    QVERIFY(warm > 0);
    // 40 transcriptions of 1.2 s of audio are 3 MB of samples: any leak per request shows.
    QVERIFY2(
        after - warm < 3 * 1024,
        qPrintable(QStringLiteral("%1 kB after warm-up, %2 kB after 200 requests").arg(warm).arg(after)));
}

QTEST_GUILESS_MAIN(tst_ServerSpeech)
#include "tst_ServerSpeech.moc"
