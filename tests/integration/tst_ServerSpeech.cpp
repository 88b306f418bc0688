#include "RawHttp.h"
#include "ServerProcess.h"
#include "Speech.h"
#include "WavBytes.h"
#include "core/wire/PTTTranscribeResponse.h"
#include "server/wav/WavParser.h"

#include <QTest>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString meeting = u"the meeting starts at ten in the morning"_s;
const QString reports = u"please send the reports to the team on friday morning"_s;
// Sixteen clients at once on a busy machine may wait long for the two decoders.
const QByteArray twoDecoders = R"({"localDecoders": 2, "decoderWaitSeconds": 600})";

Result<PTTTranscribeResponse> transcribe(ServerProcess& server, const QByteArray& wav,
                                         const std::string& language = {}) {
    httplib::Headers headers{{"x-ptt-filename", "ptt.wav"}};
    if (!language.empty()) {
        headers.emplace("x-ptt-language-hint", language);
    }
    const auto answer = server.postAudio(wav, headers);
    if (!answer || answer->status != 200) {
        return PTTError{u"test"_s, answer ? answer->status : -1,
                        QString::fromStdString(answer ? answer->body : httplib::to_string(answer.error()))};
    }
    return PTTTranscribeResponse::fromJson(QByteArray::fromStdString(answer->body));
}

} // namespace

// The offline recogniser behind the real server: speech in, words out, for many clients at once.
class tst_ServerSpeech : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void recognisesSpokenEnglish_data();
    void recognisesSpokenEnglish();
    void languagesOtherThanEnglishNeedAnUpstream();
    void editsNeedAChatEngine();
    void concurrentTranscriptionsAllAnswer();
    void memoryStaysFlat();
    void busyDecodersAndAbsentClients();

private:
    ServerProcess m_server{{twoDecoders, {}}};
};

void tst_ServerSpeech::initTestCase() {
    QString failure;
    QVERIFY2(m_server.start(&failure), qPrintable(failure));
}

void tst_ServerSpeech::recognisesSpokenEnglish_data() {
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<QString>("format"); // sox output options
    QTest::newRow("16 kHz mono") << reports << u"-r 16000 -c 1 -b 16"_s;
    // Other formats are converted by the server before recognition.
    QTest::newRow("44.1 kHz stereo") << meeting << u"-r 44100 -c 2 -b 16"_s;
}

void tst_ServerSpeech::recognisesSpokenEnglish() {
    QFETCH(QString, phrase);
    QFETCH(QString, format);
    const QByteArray wav = Speech::say(phrase, format.split(QLatin1Char(' ')));
    QVERIFY2(!wav.isEmpty(), "espeak-ng and sox make the test speech");

    const auto response = transcribe(m_server, wav);
    QVERIFY2(response.ok(), response.ok() ? "" : qPrintable(response.error().description));
    const QString text = response->text.value_or(QString());
    QVERIFY2(Speech::heardMost(phrase, text), qPrintable(u"heard \"%1\""_s.arg(text)));
    QCOMPARE(response->language, u"en"_s);
    const auto sent = WavParser::parse(std::string_view(wav.constData(), std::size_t(wav.size())));
    QVERIFY(sent.ok());
    QVERIFY(qAbs(response->durationSeconds.value_or(0) - sent->durationSeconds()) < 0.01);
    QVERIFY(response->requestId.startsWith(QLatin1String("req_")));
}

void tst_ServerSpeech::languagesOtherThanEnglishNeedAnUpstream() {
    const auto spanish = transcribe(m_server, WavBytes::tone({}, 0.3), "Español");
    QVERIFY(!spanish.ok());
    QCOMPARE(spanish.error().code, 422);
    QVERIFY(spanish.error().description.contains(QLatin1String("needs an upstream engine")));
    QVERIFY(transcribe(m_server, WavBytes::tone({}, 0.3), "en-GB").ok());
}

void tst_ServerSpeech::editsNeedAChatEngine() {
    const auto answer = m_server.postEdit(
        R"({"mode":"self_correction","inputText":"so um this is it","polishLevel":"light"})");
    QVERIFY(answer && answer->status == 501);
    QVERIFY(QString::fromStdString(answer->body).contains(QLatin1String("upstream chat engine")));
    // The level that asks for no edit needs no engine.
    const auto unchanged =
        m_server.postEdit(R"({"mode":"self_correction","inputText":"as it was","polishLevel":"off"})");
    QVERIFY(unchanged && unchanged->status == 200);
    QVERIFY(QString::fromStdString(unchanged->body).contains(QLatin1String("\"text\":\"as it was\"")));
}

void tst_ServerSpeech::concurrentTranscriptionsAllAnswer() {
    const QByteArray wav = Speech::say(meeting);
    QVERIFY(!wav.isEmpty());
    std::vector<QString> texts(16);
    std::vector<std::thread> clients;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        clients.emplace_back([&, i] {
            const auto response = transcribe(m_server, wav);
            texts[i] = response.ok() ? response->text.value_or(QString())
                                     : u"failed: "_s + response.error().description;
        });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    QVERIFY2(Speech::heardMost(meeting, texts[0]), qPrintable(texts[0]));
    for (const QString& text : texts) {
        // Whichever decoder served it, and whatever it heard before, the same audio gives the same words.
        QCOMPARE(text, texts[0]);
    }
}

void tst_ServerSpeech::memoryStaysFlat() {
    const QByteArray speech = Speech::say(u"hello world"_s);
    const std::function<bool()> kinds[] = {
        [&] { return transcribe(m_server, speech).ok(); },
        [&] { return bool(m_server.postAudio(QByteArray(40000, 'x'))); }, // refused
        [&] {
            return bool(m_server.postEdit(R"({"mode":"backtrack","inputText":"no","originalText":"a"})"));
        },
        [&] { return bool(m_server.client()->Get("/v1/ptt/health")); }};
    const auto send = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            QVERIFY(kinds[i % 4]());
        }
    };
    send(0, 40);
    const long warm = m_server.residentKilobytes();
    send(40, 200);
    const long after = m_server.residentKilobytes();
    const QString figures = u"%1 kB after warm-up, %2 kB after 200 requests"_s.arg(warm).arg(after);
    qInfo("resident memory: %s", qPrintable(figures));
    // 40 transcriptions of 1.2 s of audio are 3 MB of samples: any leak per request shows.
    QVERIFY2(warm > 0 && after - warm < 3 * 1024, qPrintable(figures));
}

void tst_ServerSpeech::busyDecodersAndAbsentClients() {
    ServerProcess server{{R"({"localDecoders": 1, "decoderWaitSeconds": 1})", {}}};
    QString failure;
    QVERIFY2(server.start(&failure), qPrintable(failure));
    // A minute of speech keeps the one decoder busy for seconds (noise would not: the recogniser
    // passes over what is not speech quickly).
    const QByteArray sentence =
        Speech::say(u"the quick brown fox jumps over the lazy dog near the river bank"_s);
    const auto parsed =
        WavParser::parse(std::string_view(sentence.constData(), std::size_t(sentence.size())));
    QVERIFY(parsed.ok() && parsed->durationSeconds() > 1);
    QByteArray speech;
    while (speech.size() < 16000 * 2 * 60) {
        speech.append(parsed->data.data(), qsizetype(parsed->data.size()));
    }
    const QByteArray aMinute = WavBytes::file({}, speech);
    const QByteArray moment = WavBytes::tone({}, 0.3);

    std::atomic<int> longStatus{0};
    std::thread longClient([&] {
        const auto answer = server.postAudio(aMinute);
        longStatus = answer ? answer->status : -1;
    });
    // Meanwhile another request waits a bounded time and is told why, with the status the app
    // retries on.
    Result<PTTTranscribeResponse> refused = transcribe(server, moment);
    while (longStatus == 0 && refused.ok()) {
        refused = transcribe(server, moment);
    }
    // A client that hangs up while its request waits is never decoded: the wait ends at once (499
    // in the log), not at the limit.
    const std::string head = "POST /v1/ptt/transcribe HTTP/1.1\r\nHost: t\r\nAuthorization: Bearer " +
                             server.token() + "\r\nContent-Length: " + std::to_string(moment.size()) +
                             "\r\n\r\n";
    RawHttp::send(server.port(), head + moment.toStdString(), std::chrono::milliseconds(300));
    longClient.join();
    QCOMPARE(longStatus.load(), 200);
    QVERIFY(!refused.ok() && refused.error().code == 503);
    QVERIFY2(refused.error().description.startsWith(u"503"_s), qPrintable(refused.error().description));
    QTRY_VERIFY2(server.log().contains(" 499 "), server.log().constData());
}

QTEST_GUILESS_MAIN(tst_ServerSpeech)
#include "tst_ServerSpeech.moc"
