#include "model/PTTEvent.h"
#include "model/PruningStatsSummary.h"
#include "model/TodayStats.h"
#include "wire/PTTEditRequest.h"
#include "wire/PTTEditResponse.h"
#include "wire/PTTHealthResponse.h"
#include "wire/PTTTranscribeResponse.h"

#include <QTest>

class tst_ModelRecords : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void minutesSaved_data();
    void minutesSaved();
    void costSaved_data();
    void costSaved();
    void eventCoding();
    void editRequestCoding();
    void responseDecoding_data();
    void responseDecoding();
};

void tst_ModelRecords::minutesSaved_data() {
    QTest::addColumn<qint64>("words");
    QTest::addColumn<qint64>("minutes");
    QTest::newRow("nothing dictated") << qint64(0) << qint64(0);
    QTest::newRow("one word gets the floor") << qint64(1) << qint64(1);
    QTest::newRow("100 words: 1.83 rounds to 2") << qint64(100) << qint64(2);
    QTest::newRow("3000 words: 75 - 20") << qint64(3000) << qint64(55);
    QTest::newRow("beyond 32 bits") << qint64(6'000'000'000) << qint64(110'000'000);
}

void tst_ModelRecords::minutesSaved() {
    QFETCH(qint64, words);
    QFETCH(qint64, minutes);
    QCOMPARE((TodayStats{5, words, 1000}.estimatedMinutesSaved()), minutes);
}

void tst_ModelRecords::costSaved_data() {
    QTest::addColumn<qint64>("original");
    QTest::addColumn<qint64>("pruned");
    QTest::addColumn<qint64>("tokens");
    QTest::addColumn<double>("cents");
    QTest::newRow("1000 to 400 words") << qint64(1000) << qint64(400) << qint64(780) << 1.17;
    QTest::newRow("three words truncate to 3 tokens") << qint64(3) << qint64(0) << qint64(3) << 0.0045;
    QTest::newRow("condensing lengthened") << qint64(100) << qint64(110) << qint64(-13) << -0.0195;
    QTest::newRow("nothing") << qint64(0) << qint64(0) << qint64(0) << 0.0;
}

void tst_ModelRecords::costSaved() {
    QFETCH(qint64, original);
    QFETCH(qint64, pruned);
    const PruningStatsSummary summary{2, original, pruned, 0, 0};
    QFETCH(qint64, tokens);
    QCOMPARE(summary.estimatedTokensSaved(), tokens);
    QFETCH(double, cents);
    QCOMPARE(qFuzzyCompare(1.0 + summary.estimatedCostSavedCents(), 1.0 + cents), true);
}

void tst_ModelRecords::eventCoding() {
    const PTTEvent full =
        PTTEvent::make(PTTState::idle, QStringLiteral("Hola, ¿qué tal? 👋"),
                       QStringLiteral("Saved to PTT-Notes.md (3 notes)"), 1234, QStringLiteral("Slack"));
    const auto decoded = PTTEvent::fromJson(full.toJson());
    QVERIFY(decoded.ok());
    QCOMPARE(decoded.value(), full);

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
    request.inputText = QStringLiteral("make it shorter");
    const QByteArray twoKeys = R"({"mode":"selection_command","inputText":"make it shorter"})";
    QCOMPARE(request.toJson(), twoKeys);

    request.originalText = QStringLiteral("a \"quoted\"\nline");
    request.sourceApp = QStringLiteral("Slack");
    request.pruneLevel = QStringLiteral("max");
    request.targetModel = QStringLiteral("claude");
    const auto decoded = PTTEditRequest::fromJson(request.toJson());
    QVERIFY(decoded.ok());
    QCOMPARE(decoded.value(), request);

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
    QTest::newRow("health record")
        << QByteArray(
               R"({"ok":true,"service":"orlavo-server","groqConfigured":false,"authConfigured":true,"version":"0.1.0","extra":1})")
        << false << false << true;
    QTest::newRow("health without version")
        << QByteArray(R"({"ok":true,"service":"s","groqConfigured":false,"authConfigured":true})") << false
        << false << false;
    QTest::newRow("empty body") << QByteArray() << false << false << false;
}

void tst_ModelRecords::responseDecoding() {
    QFETCH(QByteArray, json);
    QFETCH(bool, transcribeOk);
    QCOMPARE(PTTTranscribeResponse::fromJson(json).ok(), transcribeOk);
    QFETCH(bool, editOk);
    QCOMPARE(PTTEditResponse::fromJson(json).ok(), editOk);
    QFETCH(bool, healthOk);
    QCOMPARE(PTTHealthResponse::fromJson(json).ok(), healthOk);

    const PTTTranscribeResponse transcript{QStringLiteral("hola"), QStringLiteral("es"), 2.5,
                                           QStringLiteral("id-9")};
    QCOMPARE(PTTTranscribeResponse::fromJson(transcript.toJson()).value(), transcript);
}

QTEST_GUILESS_MAIN(tst_ModelRecords)
#include "tst_ModelRecords.moc"
