#include "model/PTTSettings.h"

#include <QTest>

#include <nlohmann/json.hpp>

namespace {

// A settings document as an older release wrote it: no pruning keys, the legacy polish switch.
QByteArray
document(const QByteArray& extraKeys,
         const QByteArray& hotkey = R"({"keyCode":49,"modifiersRawValue":786432,"gestureMode":"toggle"})") {
    QByteArray json =
        R"({"backendBaseURL":"https://api.example.test","deviceToken":"0F6F6C2A-3F0B-4C1E-9C55-1B7C2D9A6E11",)"
        R"("sttLanguage":"es","primaryLanguage":"auto","sttPrompt":"Kubernetes, gRPC",)"
        R"("autoSend":true,"noteMode":false,"hotkey":)" +
        hotkey;
    if (!extraKeys.isEmpty()) {
        json += ',' + extraKeys;
    }
    return json + '}';
}

} // namespace

class tst_PTTSettings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void roundTripOfFullyPopulatedRecord();
    void encodedKeysFollowFieldOrder();
    void defaultsEncodeWithoutOptionalAndLegacyKeys();
    void decoding_data();
    void decoding();
    void failingDocuments_data();
    void failingDocuments();
    void sharedDefaultsKeepOneTokenPerProcess();
};

void tst_PTTSettings::roundTripOfFullyPopulatedRecord() {
    PTTSettings settings = PTTSettings::makeDefault();
    settings.backendBaseURL = QStringLiteral("https://dictation.example.org");
    settings.sttLanguage = QStringLiteral("es");
    settings.primaryLanguage = QStringLiteral("es-MX");
    settings.sttPrompt = QStringLiteral("Ñandú, “quotes”, emoji 👍🏽, line\nbreak");
    settings.polishLevel = PolishLevel::professional;
    settings.autoSend = true;
    settings.noteMode = true;
    settings.notesPathBookmark = QByteArray("\x00\xff\x10 binary", 10);
    settings.hotkey = HotkeyBinding{107, 0x100000 | 0x20000, GestureMode::toggle};
    settings.useLocalTranscription = true;
    settings.promptPruningEnabled = true;
    settings.promptPruneLevel = PromptPruneLevel::max;
    settings.promptPruneTarget = PromptPruneTarget::llama;

    const auto decoded = PTTSettings::fromJson(settings.toJson());
    QVERIFY(decoded.ok());
    QCOMPARE(decoded.value(), settings);
}

void tst_PTTSettings::encodedKeysFollowFieldOrder() {
    PTTSettings settings = PTTSettings::makeDefault();
    settings.notesPathBookmark = QByteArray("bookmark");
    const auto object = nlohmann::ordered_json::parse(settings.toJson().toStdString());

    QStringList keys;
    for (const auto& [key, value] : object.items()) {
        keys << QString::fromStdString(key);
    }
    QCOMPARE(keys, QStringList({"backendBaseURL", "deviceToken", "sttLanguage", "primaryLanguage",
                                "sttPrompt", "polishLevel", "autoSend", "noteMode", "notesPathBookmark",
                                "hotkey", "useLocalTranscription", "promptPruningEnabled", "promptPruneLevel",
                                "promptPruneTarget"}));
    QStringList hotkeyKeys;
    for (const auto& [key, value] : object["hotkey"].items()) {
        hotkeyKeys << QString::fromStdString(key);
    }
    QCOMPARE(hotkeyKeys, QStringList({"keyCode", "modifiersRawValue", "gestureMode"}));
    QCOMPARE(object["notesPathBookmark"].get<std::string>(), std::string("Ym9va21hcms="));
}

void tst_PTTSettings::defaultsEncodeWithoutOptionalAndLegacyKeys() {
    const QByteArray json = PTTSettings::makeDefault().toJson();
    QVERIFY(!json.contains("notesPathBookmark"));
    QVERIFY(!json.contains("autoEditEnabled"));
    const QByteArray backend = R"("backendBaseURL":"http://127.0.0.1:47321")";
    const QByteArray hotkey = R"("hotkey":{"keyCode":63,"modifiersRawValue":0,"gestureMode":"pushToTalk"})";
    QVERIFY(json.contains(backend));
    QVERIFY(json.contains(hotkey));
}

void tst_PTTSettings::decoding_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<PolishLevel>("polish");
    QTest::addColumn<bool>("pruningEnabled");
    QTest::addColumn<PromptPruneLevel>("pruneLevel");
    QTest::addColumn<PromptPruneTarget>("pruneTarget");

    QTest::newRow("legacy switch off") << document(R"("autoEditEnabled":false)") << PolishLevel::off << false
                                       << PromptPruneLevel::medium << PromptPruneTarget::universal;
    QTest::newRow("legacy switch on") << document(R"("autoEditEnabled":true)") << PolishLevel::medium << false
                                      << PromptPruneLevel::medium << PromptPruneTarget::universal;
    QTest::newRow("neither key") << document({}) << PolishLevel::medium << false << PromptPruneLevel::medium
                                 << PromptPruneTarget::universal;
    QTest::newRow("legacy switch not a boolean")
        << document(R"("autoEditEnabled":"no")") << PolishLevel::medium << false << PromptPruneLevel::medium
        << PromptPruneTarget::universal;
    QTest::newRow("unknown polish level falls back to the legacy switch")
        << document(R"("polishLevel":"shiny","autoEditEnabled":false)") << PolishLevel::off << false
        << PromptPruneLevel::medium << PromptPruneTarget::universal;
    QTest::newRow("polish level not a string")
        << document(R"("polishLevel":3)") << PolishLevel::medium << false << PromptPruneLevel::medium
        << PromptPruneTarget::universal;
    QTest::newRow("polish level wins over the legacy switch")
        << document(R"("polishLevel":"light","autoEditEnabled":false)") << PolishLevel::light << false
        << PromptPruneLevel::medium << PromptPruneTarget::universal;
    QTest::newRow("current keys, unknown keys ignored")
        << document(R"("polishLevel":"professional","promptPruningEnabled":true,"promptPruneLevel":"max",)"
                    R"("promptPruneTarget":"gemini","useLocalTranscription":null,"futureKey":{"a":[1,2]})")
        << PolishLevel::professional << true << PromptPruneLevel::max << PromptPruneTarget::gemini;
    QTest::newRow("null pruning keys read as defaults")
        << document(R"("promptPruningEnabled":null,"promptPruneLevel":null,"promptPruneTarget":null)")
        << PolishLevel::medium << false << PromptPruneLevel::medium << PromptPruneTarget::universal;
}

void tst_PTTSettings::decoding() {
    QFETCH(QByteArray, json);
    const auto decoded = PTTSettings::fromJson(json);
    QVERIFY2(decoded.ok(), qPrintable(decoded.ok() ? QString() : decoded.error().description));
    const PTTSettings& settings = decoded.value();
    QFETCH(PolishLevel, polish);
    QCOMPARE(settings.polishLevel, polish);
    QFETCH(bool, pruningEnabled);
    QCOMPARE(settings.promptPruningEnabled, pruningEnabled);
    QFETCH(PromptPruneLevel, pruneLevel);
    QCOMPARE(settings.promptPruneLevel, pruneLevel);
    QFETCH(PromptPruneTarget, pruneTarget);
    QCOMPARE(settings.promptPruneTarget, pruneTarget);
    QCOMPARE(settings.useLocalTranscription, false);
    QCOMPARE(settings.backendBaseURL, QStringLiteral("https://api.example.test"));
    QCOMPARE(settings.sttPrompt, QStringLiteral("Kubernetes, gRPC"));
    QCOMPARE(settings.hotkey, (HotkeyBinding{49, 0xC0000, GestureMode::toggle}));
    QVERIFY(!settings.notesPathBookmark);
}

void tst_PTTSettings::failingDocuments_data() {
    QTest::addColumn<QByteArray>("json");

    QTest::newRow("not JSON") << QByteArray("{\"backendBaseURL\":");
    QTest::newRow("not an object") << QByteArray("[1,2,3]");
    QTest::newRow("invalid UTF-8") << QByteArray("{\"backendBaseURL\":\"\xff\xfe\"}");
    QTest::newRow("unknown prune level") << document(R"("promptPruneLevel":"extreme")");
    QTest::newRow("unknown prune target") << document(R"("promptPruneTarget":"palm")");
    QTest::newRow("gesture mode missing") << document({}, R"({"keyCode":63,"modifiersRawValue":0})");
    QTest::newRow("unknown gesture mode")
        << document({}, R"({"keyCode":63,"modifiersRawValue":0,"gestureMode":"hold"})");
    QTest::newRow("negative modifiers")
        << document({}, R"({"keyCode":63,"modifiersRawValue":-1,"gestureMode":"toggle"})");
    QTest::newRow("fractional key code")
        << document({}, R"({"keyCode":63.5,"modifiersRawValue":0,"gestureMode":"toggle"})");
    QTest::newRow("hotkey not an object") << document({}, R"("fn")");
    QTest::newRow("bookmark not Base64") << document(R"("notesPathBookmark":"not base64!")");
    QTest::newRow("bookmark not a string") << document(R"("notesPathBookmark":42)");
    QTest::newRow("pruning switch not a boolean") << document(R"("promptPruningEnabled":"yes")");
    QTest::newRow("required text is null")
        << QByteArray(document({})).replace(R"("sttLanguage":"es")", R"("sttLanguage":null)");
    QTest::newRow("required flag missing") << QByteArray(document({})).replace(R"("autoSend":true,)", "");
}

void tst_PTTSettings::failingDocuments() {
    QFETCH(QByteArray, json);
    QVERIFY(!PTTSettings::fromJson(json).ok());
}

void tst_PTTSettings::sharedDefaultsKeepOneTokenPerProcess() {
    const QString shared = PTTSettings::defaults().deviceToken;
    QCOMPARE(PTTSettings::defaults().deviceToken, shared);
    QCOMPARE(shared.size(), 36);
    QCOMPARE(shared, shared.toUpper());
    QVERIFY(PTTSettings::makeDefault().deviceToken != PTTSettings::makeDefault().deviceToken);
}

QTEST_GUILESS_MAIN(tst_PTTSettings)
#include "tst_PTTSettings.moc"
