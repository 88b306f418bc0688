#include "core/model/PTTEvent.h"
#include "core/model/PruningStatsSummary.h"
#include "core/model/TodayStats.h"
#include "core/wire/PTTEditRequest.h"
#include "core/wire/PTTEditResponse.h"
#include "core/wire/PTTHealthResponse.h"
#include "core/wire/PTTTranscribeResponse.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class tst_ModelRecords : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void savingsEstimates();
    void eventCoding();
    void editRequestCoding();
    void responseDecoding_data();
    void responseDecoding();
};

void tst_ModelRecords::savingsEstimates() {
    const auto minutes = [](qint64 words) { return TodayStats{5, words, 1000}.estimatedMinutesSaved(); };
    // Nothing dictated, the floor of one minute, 1.83 rounding to 2, and beyond 32 bits.
    QCOMPARE((QList<qint64>{minutes(0), minutes(1), minutes(100), minutes(6'000'000'000)}),
             (QList<qint64>{0, 1, 2, 110'000'000}));
    // 1000 words condensed to 400, three words truncating to 3 tokens, a condensing that lengthened.
    const PruningStatsSummary summaries[] = {{2, 1000, 400, 0, 0}, {1, 3, 0, 0, 0}, {1, 100, 110, 0, 0}};
    const qint64 tokens[] = {780, 3, -13};
    const double cents[] = {1.17, 0.0045, -0.0195};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(summaries[i].estimatedTokensSaved(), tokens[i]);
        QVERIFY(qFuzzyCompare(1.0 + summaries[i].estimatedCostSavedCents(), 1.0 + cents[i]));
    }
}

void tst_ModelRecords::eventCoding() {
    const PTTEvent full = PTTEvent::make(PTTState::idle, u"Hola, ¿qué tal? 👋"_s,
                                         u"Saved to PTT-Notes.md (3 notes)"_s, 1234, u"Slack"_s);
    QCOMPARE(PTTEvent::fromJson(full.toJson()).value(), full);

    const PTTEvent minimal = PTTEvent::make(PTTState::recording);
    QCOMPARE(minimal.toJson().count(':'), 2); // only "id" and "state"
    QVERIFY(minimal.id != PTTEvent::make(PTTState::recording).id);

    const QByteArray malformed[] = {R"({"state":"idle"})", R"({"id":"not-a-uuid","state":"idle"})",
                                    R"({"id":"0F6F6C2A-3F0B-4C1E-9C55-1B7C2D9A6E11","state":"paused"})"};
    for (const QByteArray& json : malformed) {
        QVERIFY(!PTTEvent::fromJson(json).ok());
    }
}

void tst_ModelRecords::editRequestCoding() {
    PTTEditRequest request;
    request.mode = PTTEditMode::selectionCommand;
    request.inputText = u"make it shorter"_s;
    const QByteArray twoKeys = R"({"mode":"selection_command","inputText":"make it shorter"})";
    QCOMPARE(request.toJson(), twoKeys);

    request.originalText = u"a \"quoted\"\nline"_s;
    request.sourceApp = u"Slack"_s;
    request.pruneLevel = u"max"_s;
    request.targetModel = u"claude"_s;
    QCOMPARE(PTTEditRequest::fromJson(request.toJson()).value(), request);

    const QByteArray invalidRequests[] = {R"({"mode":"rewrite","inputText":"x"})", R"({"mode":"backtrack"})",
                                          R"({"mode":"backtrack","inputText":7})"};
    for (const QByteArray& json : invalidRequests) {
        QVERIFY(!PTTEditRequest::fromJson(json).ok());
    }
}

void tst_ModelRecords::responseDecoding_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("transcribeOk");
    QTest::addColumn<bool>("editOk");
    QTest::addColumn<bool>("healthOk");

    QTest::newRow("only a request id") << QByteArray(R"({"requestId":"r1"})") << true << true << false;
    QTest::newRow("no request id") << QByteArray(R"({"text":"hello"})") << false << false << false;
    QTest::newRow("null optionals") << QByteArray(R"({"text":null,"language":null,"requestId":"r"})") << true
                                    << true << false;
    QTest::newRow("text of the wrong type")
        << QByteArray(R"({"text":5,"requestId":"r"})") << false << false << false;
    QTest::newRow("health record, unknown key")
        << QByteArray(R"({"ok":true,"service":"s","groqConfigured":false,)"
                      R"("authConfigured":true,"version":"1","x":1})")
        << false << false << true;
    QTest::newRow("health without version")
        << QByteArray(R"({"ok":true,"service":"s","groqConfigured":false,"authConfigured":true})") << false
        << false << false;
}

void tst_ModelRecords::responseDecoding() {
    QFETCH(QByteArray, json);
    QFETCH(bool, transcribeOk);
    QCOMPARE(PTTTranscribeResponse::fromJson(json).ok(), transcribeOk);
    QFETCH(bool, editOk);
    QCOMPARE(PTTEditResponse::fromJson(json).ok(), editOk);
    QFETCH(bool, healthOk);
    QCOMPARE(PTTHealthResponse::fromJson(json).ok(), healthOk);

    const PTTTranscribeResponse transcript{u"hola"_s, u"es"_s, 2.5, u"id-9"_s};
    QCOMPARE(PTTTranscribeResponse::fromJson(transcript.toJson()).value(), transcript);
}

QTEST_GUILESS_MAIN(tst_ModelRecords)
#include "tst_ModelRecords.moc"
