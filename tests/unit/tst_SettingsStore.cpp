#include "InMemoryKeyValueStore.h"
#include "TemporaryEnvironment.h"
#include "paths/AppPaths.h"
#include "settings/JsonFileKeyValueStore.h"
#include "settings/KeychainService.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <nlohmann/json.hpp>

namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class tst_SettingsStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstLaunch();
    void saveThenLoadThroughTheFile();
    void valuesKeepTheirKindAndBytes();
    void damagedFileIsMovedAsideNotOverwritten();
    void undecodableRecordIsKeptAsideBeforeSave();
    void credentials_data();
    void credentials();
};

void tst_SettingsStore::firstLaunch() {
    TemporaryEnvironment environment;
    JsonFileKeyValueStore defaults(AppPaths::defaultsFile());
    SettingsStore store(defaults);
    KeychainService keychain(defaults);

    QCOMPARE(store.load(), PTTSettings::defaults());
    QVERIFY(!store.isSetupCompleted());
    QVERIFY(!keychain.read(KeychainService::apiKeyAccount));
    QVERIFY(!keychain.read(KeychainService::backendTokenAccount));
    QVERIFY(!QFile::exists(AppPaths::defaultsFile())); // reading writes nothing
}

void tst_SettingsStore::saveThenLoadThroughTheFile() {
    TemporaryEnvironment environment;
    PTTSettings settings = PTTSettings::makeDefault();
    settings.sttPrompt = QStringLiteral("Ñoño, kubectl");
    settings.notesPathBookmark = QByteArray("\x01\x02\xfe", 3);
    settings.hotkey = HotkeyBinding{49, 0xC0000, GestureMode::toggle};
    {
        JsonFileKeyValueStore defaults(AppPaths::defaultsFile());
        SettingsStore store(defaults);
        store.save(settings);
        store.markSetupCompleted();
        QVERIFY(!defaults.lastError());
    }
    const QFileInfo file(AppPaths::defaultsFile());
    QCOMPARE(file.permissions() &
                 (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
             QFile::Permissions());
    QVERIFY(file.permissions() & QFile::ReadOwner);

    JsonFileKeyValueStore reopened(AppPaths::defaultsFile());
    SettingsStore store(reopened);
    QCOMPARE(store.load(), settings);
    QVERIFY(store.isSetupCompleted());
    QCOMPARE(reopened.data(SettingsStore::settingsKey), settings.toJson());
}

void tst_SettingsStore::valuesKeepTheirKindAndBytes() {
    TemporaryEnvironment environment;
    const QString path = environment.filePath(QStringLiteral("defaults.json"));
    const QByteArray binary("\x00\xff\x80 not utf-8", 13);
    const QByteArray utf8Json = R"({"text":"añejo ☕"})";
    {
        JsonFileKeyValueStore defaults(path);
        defaults.setData(QStringLiteral("binary"), binary);
        defaults.setData(QStringLiteral("json"), utf8Json);
        defaults.setString(QStringLiteral("text"), QStringLiteral("plain"));
        defaults.setBool(QStringLiteral("flag"), true);
        defaults.setString(QStringLiteral("gone"), QStringLiteral("x"));
        defaults.remove(QStringLiteral("gone"));
    }
    // An entry this version does not understand survives our writes.
    auto document = nlohmann::ordered_json::parse(readFile(path).toStdString());
    document["future.key.v2"] = {{"nested", 1}};
    writeFile(path, QByteArray::fromStdString(document.dump()));

    JsonFileKeyValueStore defaults(path);
    QCOMPARE(defaults.data(QStringLiteral("binary")), binary);
    QCOMPARE(defaults.data(QStringLiteral("json")), utf8Json);
    QCOMPARE(defaults.string(QStringLiteral("text")), QStringLiteral("plain"));
    QVERIFY(defaults.boolean(QStringLiteral("flag")));
    QVERIFY(!defaults.value(QStringLiteral("gone")));
    // A value of another kind reads as absent.
    QVERIFY(!defaults.data(QStringLiteral("text")));
    QVERIFY(!defaults.boolean(QStringLiteral("text")));
    QVERIFY(!defaults.value(QStringLiteral("future.key.v2")));

    defaults.setBool(QStringLiteral("flag"), false);
    QVERIFY(readFile(path).contains("future.key.v2"));
}

void tst_SettingsStore::damagedFileIsMovedAsideNotOverwritten() {
    TemporaryEnvironment environment;
    const QString path = AppPaths::defaultsFile();
    const QByteArray damaged = R"({"ptt.settings.v1": {"data": "{\"backendBase)";
    writeFile(path, damaged);

    JsonFileKeyValueStore defaults(path);
    QVERIFY(defaults.keptAsidePath().has_value());
    QCOMPARE(readFile(*defaults.keptAsidePath()), damaged);
    QVERIFY(!QFile::exists(path));
    SettingsStore store(defaults);
    QCOMPARE(store.load(), PTTSettings::defaults());

    store.markSetupCompleted();
    QCOMPARE(readFile(*defaults.keptAsidePath()), damaged);
    QVERIFY(JsonFileKeyValueStore(path).boolean(SettingsStore::setupCompletedKey));
}

void tst_SettingsStore::undecodableRecordIsKeptAsideBeforeSave() {
    InMemoryKeyValueStore defaults;
    SettingsStore store(defaults);
    QByteArray newer = PTTSettings::makeDefault().toJson();
    newer.replace(R"("promptPruneLevel":"medium")", R"("promptPruneLevel":"ultra")");
    defaults.setData(SettingsStore::settingsKey, newer);

    QCOMPARE(store.load(), PTTSettings::defaults());
    QVERIFY(!defaults.value(SettingsStore::unreadableSettingsKey)); // loading writes nothing

    PTTSettings edited = store.load();
    edited.autoSend = true;
    store.save(edited);
    QCOMPARE(defaults.data(SettingsStore::unreadableSettingsKey), newer);
    QCOMPARE(store.load(), edited);

    // A readable record is simply replaced.
    edited.noteMode = true;
    store.save(edited);
    QCOMPARE(defaults.data(SettingsStore::unreadableSettingsKey), newer);

    // So is a value that is not even data.
    defaults.setString(SettingsStore::settingsKey, QStringLiteral("garbage"));
    QCOMPARE(store.load(), PTTSettings::defaults());
    store.save(edited);
    QCOMPARE(defaults.string(SettingsStore::unreadableSettingsKey), QStringLiteral("garbage"));
}

void tst_SettingsStore::credentials_data() {
    QTest::addColumn<std::optional<QString>>("storedText");
    QTest::addColumn<std::optional<QString>>("expected");

    QTest::newRow("absent") << std::optional<QString>() << std::optional<QString>();
    QTest::newRow("empty string reads as empty text") << std::optional(QString()) << std::optional(QString());
    QTest::newRow("Base64 of UTF-8") << std::optional(QStringLiteral("c2stw7FhbmTDug=="))
                                     << std::optional(QStringLiteral("sk-ñandú"));
    QTest::newRow("not Base64") << std::optional(QStringLiteral("sk-plain-text!"))
                                << std::optional<QString>();
    QTest::newRow("missing padding") << std::optional(QStringLiteral("YWJjZA")) << std::optional<QString>();
    QTest::newRow("not UTF-8") << std::optional(QStringLiteral("/w==")) << std::optional<QString>();
}

void tst_SettingsStore::credentials() {
    QFETCH(std::optional<QString>, storedText);
    InMemoryKeyValueStore defaults;
    KeychainService keychain(defaults);
    const QString key = QStringLiteral("secret.Kestrov.brevant-api-key");
    QCOMPARE(KeychainService::keyFor(KeychainService::apiKeyAccount), key);
    if (storedText) {
        defaults.setString(key, *storedText);
    }
    QFETCH(std::optional<QString>, expected);
    QCOMPARE(keychain.read(KeychainService::apiKeyAccount), expected);

    keychain.write(KeychainService::apiKeyAccount, QStringLiteral("sk-ñandú"));
    QCOMPARE(defaults.string(key), QStringLiteral("c2stw7FhbmTDug=="));
    QCOMPARE(keychain.read(KeychainService::apiKeyAccount), QStringLiteral("sk-ñandú"));
    keychain.remove(KeychainService::apiKeyAccount);
    QVERIFY(!keychain.read(KeychainService::apiKeyAccount));
}

QTEST_GUILESS_MAIN(tst_SettingsStore)
#include "tst_SettingsStore.moc"
