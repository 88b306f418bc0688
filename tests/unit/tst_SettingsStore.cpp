#include "InMemoryKeyValueStore.h"
#include "TemporaryEnvironment.h"
#include "core/paths/AppPaths.h"
#include "core/settings/JsonFileKeyValueStore.h"
#include "core/settings/KeychainService.h"
#include "core/settings/SettingsStore.h"

#include <QFile>
#include <QTest>

#include <nlohmann/json.hpp>

using namespace Qt::Literals::StringLiterals;

class tst_SettingsStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstLaunchThenSaveAndLoadThroughTheFile();
    void valuesKeepTheirKindAndBytes();
    void damagedFileIsMovedAsideNotOverwritten();
    void undecodableRecordIsKeptAsideBeforeSave();
    void aFailedSaveIsReportedOnce();
    void credentials();
};

void tst_SettingsStore::firstLaunchThenSaveAndLoadThroughTheFile() {
    TemporaryEnvironment environment;
    PTTSettings settings = PTTSettings::makeDefault();
    settings.sttPrompt = u"Ñoño, kubectl"_s;
    settings.notesPathBookmark = QByteArray("\x01\x02\xfe", 3);
    settings.hotkey = HotkeyBinding{49, 0xC0000, GestureMode::toggle};
    {
        JsonFileKeyValueStore defaults(AppPaths::defaultsFile());
        SettingsStore store(defaults);
        QCOMPARE(store.load(), PTTSettings::defaults());
        QVERIFY(!store.isSetupCompleted() && !KeychainService(defaults).read(KeychainService::apiKeyAccount));
        QVERIFY(!QFile::exists(AppPaths::defaultsFile())); // reading writes nothing
        store.save(settings);
        store.markSetupCompleted();
        QVERIFY(!defaults.lastError());
    }
    QCOMPARE(QFile::permissions(AppPaths::defaultsFile()) &
                 (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
             QFile::Permissions());
    JsonFileKeyValueStore reopened(AppPaths::defaultsFile());
    SettingsStore store(reopened);
    QCOMPARE(store.load(), settings);
    QVERIFY(store.isSetupCompleted());
    QCOMPARE(reopened.data(SettingsStore::settingsKey), settings.toJson());
}

void tst_SettingsStore::valuesKeepTheirKindAndBytes() {
    TemporaryEnvironment environment;
    const QString path = environment.filePath(u"defaults.json"_s);
    const QByteArray binary("\x00\xff\x80 not utf-8", 13);
    const QByteArray utf8Json = R"({"text":"añejo ☕"})";
    {
        JsonFileKeyValueStore defaults(path);
        defaults.setData(u"binary"_s, binary);
        defaults.setData(u"json"_s, utf8Json);
        defaults.setString(u"text"_s, u"plain"_s);
        defaults.setBool(u"flag"_s, true);
        defaults.setString(u"gone"_s, u"x"_s);
        defaults.remove(u"gone"_s);
    }
    // An entry this version does not understand survives our writes.
    auto document = nlohmann::ordered_json::parse(TemporaryEnvironment::read(path).toStdString());
    document["future.key.v2"] = {{"nested", 1}};
    environment.write(path, QByteArray::fromStdString(document.dump()));

    JsonFileKeyValueStore defaults(path);
    QCOMPARE(defaults.data(u"binary"_s), binary);
    QCOMPARE(defaults.data(u"json"_s), utf8Json);
    QCOMPARE(defaults.string(u"text"_s), u"plain"_s);
    QVERIFY(defaults.boolean(u"flag"_s));
    QVERIFY(!defaults.value(u"gone"_s));
    // A value of another kind reads as absent.
    QVERIFY(!defaults.data(u"text"_s) && !defaults.boolean(u"text"_s));
    QVERIFY(!defaults.value(u"future.key.v2"_s));

    defaults.setBool(u"flag"_s, false);
    QVERIFY(TemporaryEnvironment::read(path).contains("future.key.v2"));
}

void tst_SettingsStore::damagedFileIsMovedAsideNotOverwritten() {
    TemporaryEnvironment environment;
    const QByteArray damaged = R"({"ptt.settings.v1": {"data": "{\"backendBase)";
    const QString path = environment.write(AppPaths::defaultsFile(), damaged);

    JsonFileKeyValueStore defaults(path);
    QVERIFY(defaults.keptAsidePath().has_value());
    QCOMPARE(TemporaryEnvironment::read(*defaults.keptAsidePath()), damaged);
    QVERIFY(!QFile::exists(path));
    SettingsStore store(defaults);
    QCOMPARE(store.load(), PTTSettings::defaults());

    store.markSetupCompleted();
    QCOMPARE(TemporaryEnvironment::read(*defaults.keptAsidePath()), damaged);
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

    // A readable record is simply replaced: what was kept aside stays.
    store.save(edited);
    QCOMPARE(defaults.data(SettingsStore::unreadableSettingsKey), newer);
    // A value that is not even data is kept aside too.
    defaults.setString(SettingsStore::settingsKey, u"garbage"_s);
    QCOMPARE(store.load(), PTTSettings::defaults());
    store.save(edited);
    QCOMPARE(defaults.string(SettingsStore::unreadableSettingsKey), u"garbage"_s);
}

void tst_SettingsStore::aFailedSaveIsReportedOnce() {
    TemporaryEnvironment environment;
    // The folder of the file is a file: no write can succeed, whoever runs this.
    environment.write(u"blocked"_s, "a file");
    JsonFileKeyValueStore defaults(environment.filePath(u"blocked/defaults.json"_s));
    SettingsStore store(defaults);
    PTTSettings settings = PTTSettings::makeDefault();
    settings.autoSend = true;
    store.save(settings);
    const auto failure = store.takeWriteError();
    QVERIFY(failure && failure->description.contains(u"could not be created"_s));
    QVERIFY(!store.takeWriteError());
    QCOMPARE(store.load(), settings); // kept in memory meanwhile
}

void tst_SettingsStore::credentials() {
    InMemoryKeyValueStore defaults;
    KeychainService keychain(defaults);
    const QString key = u"secret.Kestrov.brevant-api-key"_s;
    QCOMPARE(KeychainService::keyFor(KeychainService::apiKeyAccount), key);
    QVERIFY(!keychain.read(KeychainService::apiKeyAccount));
    keychain.write(KeychainService::apiKeyAccount, u"sk-ñandú"_s);
    QCOMPARE(defaults.string(key), u"c2stw7FhbmTDug=="_s); // Base64 of the UTF-8
    QCOMPARE(keychain.read(KeychainService::apiKeyAccount), u"sk-ñandú"_s);
    // A stored value that is not Base64, or not UTF-8 inside, reads as no credential.
    for (const QString& damaged : {u"sk-plain-text!"_s, u"/w=="_s}) {
        defaults.setString(key, damaged);
        QVERIFY2(!keychain.read(KeychainService::apiKeyAccount), qPrintable(damaged));
    }
    keychain.write(KeychainService::apiKeyAccount, u"x"_s);
    keychain.remove(KeychainService::apiKeyAccount);
    QVERIFY(!keychain.read(KeychainService::apiKeyAccount));
}

QTEST_GUILESS_MAIN(tst_SettingsStore)
#include "tst_SettingsStore.moc"
