#include "core/model/PTTSettings.h"

#include <QTest>

#include <nlohmann/json.hpp>

using namespace Qt::Literals::StringLiterals;

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
    void fullRecordRoundTripsInFieldOrder();
    void decoding_data();
    void decoding();
    void failingDocuments_data();
    void failingDocuments();
    void sharedDefaultsKeepOneTokenPerProcess();
};

void tst_PTTSettings::fullRecordRoundTripsInFieldOrder() {
    PTTSettings settings = PTTSettings::makeDefault();
    settings.backendBaseURL = u"https://dictation.example.org"_s;
    settings.sttLanguage = u"es"_s;
    settings.primaryLanguage = u"es-MX"_s;
    settings.sttPrompt = u"Ñandú, “quotes”, emoji 👍🏽, line\nbreak"_s;
    settings.polishLevel = PolishLevel::professional;
    settings.autoSend = true;
    settings.noteMode = true;
    settings.notesPathBookmark = QByteArray("\x00\xff\x10 binary", 10);
    settings.hotkey = HotkeyBinding{107, 0x100000 | 0x20000, GestureMode::toggle};
    settings.useLocalTranscription = true;
    settings.promptPruningEnabled = true;
    settings.promptPruneLevel = PromptPruneLevel::max;
    settings.promptPruneTarget = PromptPruneTarget::llama;
    QCOMPARE(PTTSettings::fromJson(settings.toJson()).value(), settings);

    const auto object = nlohmann::ordered_json::parse(settings.toJson().toStdString());
    const auto keysOf = [](const nlohmann::ordered_json& record) {
        QStringList keys;
        for (const auto& [key, value] : record.items()) {
            keys << QString::fromStdString(key);
        }
        return keys;
    };
    QCOMPARE(keysOf(object), QStringList({"backendBaseURL", "deviceToken", "sttLanguage", "primaryLanguage",
                                          "sttPrompt", "polishLevel", "autoSend", "noteMode",
                                          "notesPathBookmark", "hotkey", "useLocalTranscription",
                                          "promptPruningEnabled", "promptPruneLevel", "promptPruneTarget"}));
    QCOMPARE(keysOf(object["hotkey"]), QStringList({"keyCode", "modifiersRawValue", "gestureMode"}));
    QCOMPARE(object["notesPathBookmark"].get<std::string>(), std::string("AP8QIGJpbmFyeQ=="));

    // The defaults leave out the absent bookmark and never write the legacy switch.
    const QByteArray defaults = PTTSettings::makeDefault().toJson();
    QVERIFY(!defaults.contains("notesPathBookmark") && !defaults.contains("autoEditEnabled"));
    const QByteArray loopback = R"("backendBaseURL":"http://127.0.0.1:27321")";
    QVERIFY(defaults.contains(loopback));

    // The former default port lies in the ephemeral range; a record that kept it follows the server.
    for (const QByteArray former : {"http://127.0.0.1:47321", "http://127.0.0.1:47321/"}) {
        const QByteArray stored = QByteArray(document({})).replace("https://api.example.test", former);
        QCOMPARE(PTTSettings::fromJson(stored)->backendBaseURL, PTTSettings::defaultBackendBaseURL);
    }
}

void tst_PTTSettings::decoding_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("expected"); // polish level, pruning switch, prune level, prune target

    QTest::newRow("legacy switch off")
        << document(R"("autoEditEnabled":false)") << u"off false medium universal"_s;
    QTest::newRow("legacy switch on")
        << document(R"("autoEditEnabled":true)") << u"medium false medium universal"_s;
    QTest::newRow("neither key") << document({}) << u"medium false medium universal"_s;
    QTest::newRow("unknown polish level falls back to the legacy switch")
        << document(R"("polishLevel":"shiny","autoEditEnabled":false)") << u"off false medium universal"_s;
    QTest::newRow("polish level wins over the legacy switch")
        << document(R"("polishLevel":"light","autoEditEnabled":false)") << u"light false medium universal"_s;
    QTest::newRow("current keys, unknown keys ignored")
        << document(R"("polishLevel":"professional","promptPruningEnabled":true,"promptPruneLevel":"max",)"
                    R"("promptPruneTarget":"gemini","useLocalTranscription":null,"futureKey":{"a":[1,2]})")
        << u"professional true max gemini"_s;
    QTest::newRow("null pruning keys read as defaults")
        << document(R"("promptPruningEnabled":null,"promptPruneLevel":null,"promptPruneTarget":null)")
        << u"medium false medium universal"_s;
}

void tst_PTTSettings::decoding() {
    QFETCH(QByteArray, json);
    QFETCH(QString, expected);
    const auto decoded = PTTSettings::fromJson(json);
    QVERIFY2(decoded.ok(), qPrintable(decoded.ok() ? QString() : decoded.error().description));
    const PTTSettings& settings = decoded.value();
    QCOMPARE(QStringList({rawValue(settings.polishLevel),
                          QLatin1String(settings.promptPruningEnabled ? "true" : "false"),
                          rawValue(settings.promptPruneLevel), rawValue(settings.promptPruneTarget)})
                 .join(QLatin1Char(' ')),
             expected);
    QVERIFY(!settings.useLocalTranscription && !settings.notesPathBookmark);
    QCOMPARE(settings.backendBaseURL, u"https://api.example.test"_s);
    QCOMPARE(settings.sttPrompt, u"Kubernetes, gRPC"_s);
    QCOMPARE(settings.hotkey, (HotkeyBinding{49, 0xC0000, GestureMode::toggle}));
}

void tst_PTTSettings::failingDocuments_data() {
    QTest::addColumn<QByteArray>("json");

    QTest::newRow("not JSON") << QByteArray("{\"backendBaseURL\":");
    QTest::newRow("invalid UTF-8") << QByteArray("{\"backendBaseURL\":\"\xff\xfe\"}");
    QTest::newRow("unknown prune level") << document(R"("promptPruneLevel":"extreme")");
    QTest::newRow("gesture mode missing") << document({}, R"({"keyCode":63,"modifiersRawValue":0})");
    QTest::newRow("negative modifiers")
        << document({}, R"({"keyCode":63,"modifiersRawValue":-1,"gestureMode":"toggle"})");
    QTest::newRow("bookmark not Base64") << document(R"("notesPathBookmark":"not base64!")");
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
