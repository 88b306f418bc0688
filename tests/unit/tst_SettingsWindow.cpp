// The settings window as the application opens it: the real QML over a real controller, whose
// services are the shared fakes except the settings file and the SQLite database, which are real
// files in a temporary folder. Controls are driven with mouse clicks and key presses; what counts
// is what lands in the files. Each tab is kept beside the test binary as settings-<tab>.png.
#include "DictationRig.h"
#include "TemporaryEnvironment.h"
#include "VirtualClock.h"
#include "core/dictation/PTTAppState.h"
#include "core/dictation/VariantRecords.h"
#include "core/settings/JsonFileKeyValueStore.h"
#include "core/settings/KeychainService.h"
#include "core/settings/SettingsStore.h"
#include "core/storage/LocalDatabase.h"
#include "ui/ThemeIcons.h"
#include "ui/settings/AccountPanel.h"
#include "ui/settings/SettingsWindow.h"

#include <QCoreApplication>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>
#include <QtQml/qqmlextensionplugin.h>

#include <sqlite3.h>

Q_IMPORT_QML_PLUGIN(Orlavo_UiPlugin)

namespace {

struct SettingsRig {
    SettingsRig() {
        dictation.start();
        engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
        engine.addImageProvider(IconImageProvider::providerId, new IconImageProvider);
        window = std::make_unique<SettingsWindow>(
            engine,
            SettingsWindow::Services{.account = {.controller = controller(),
                                                 .keychain = dictation.keychain,
                                                 .backend = dictation.backend,
                                                 .scheduler = dictation.scheduler,
                                                 .updates = nullptr,
                                                 .openUrl =
                                                     [this](const QUrl& url) {
                                                         opened << url;
                                                         return mailOpens;
                                                     }},
                                     .notes = dictation.notes,
                                     .database = dictation.database,
                                     .serverConfigFile = directory.filePath(QStringLiteral("server.json"))},
            AccountPanel::Links{
                QStringLiteral("ideas@example.org"), QUrl(QStringLiteral("https://example.org/help")), {}},
            AccountPanel::About{QStringLiteral("1.2.0"), QStringLiteral("42"),
                                QStringLiteral("Linux, Debian 12")});
    }
    ~SettingsRig() {
        window.reset();
        dictation.quit();
    }

    PTTAppState& controller() { return dictation.controller(); }

    // Opens the window on a tab and waits until it can take keys.
    QQuickWindow& open(int tab) {
        window->present();
        QQuickWindow* view = window->window();
        qobject_cast<QQuickView*>(view)->rootObject()->setProperty("currentIndex", tab);
        [&] { QVERIFY(QTest::qWaitForWindowActive(view)); }();
        return *view;
    }
    // By the drawn tree: list rows have no object parent, and an open dialog sits in the overlay.
    QQuickItem* item(const char* name) const {
        return find(window->window()->contentItem(), QLatin1String(name));
    }
    static QQuickItem* find(QQuickItem* parent, QLatin1String name) {
        if (parent->objectName() == name) {
            return parent;
        }
        for (QQuickItem* child : parent->childItems()) {
            if (QQuickItem* found = find(child, name)) {
                return found;
            }
        }
        return nullptr;
    }
    // Scrolls the tab so that `target` is in the window, as a user would before clicking it.
    void reveal(QQuickItem* target) const {
        const double bottom = target->mapToScene(QPointF(0, target->height())).y();
        for (QQuickItem* parent = target->parentItem(); parent; parent = parent->parentItem()) {
            if (parent->inherits("QQuickFlickable") && bottom > window->window()->height()) {
                auto* content = parent->property("contentItem").value<QQuickItem*>();
                parent->setProperty("contentY", target->mapToItem(content, QPointF(0, 0)).y());
                return;
            }
        }
    }
    void click(const char* name) {
        QQuickItem* target = item(name);
        QVERIFY2(target && target->isVisible(), name);
        reveal(target);
        const QPointF centre = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
        QTest::mouseClick(window->window(), Qt::LeftButton, {}, centre.toPoint());
    }
    void type(const char* name, const QString& typed) {
        QQuickItem* target = item(name);
        QVERIFY2(target, name);
        target->forceActiveFocus();
        for (const QChar character : typed) {
            QTest::keyClick(window->window(), character.toLatin1());
        }
    }
    // What a fresh start of the application would read.
    PTTSettings storedSettings() const {
        JsonFileKeyValueStore file(directory.filePath(QStringLiteral("defaults.json")));
        return SettingsStore(file).load();
    }
    void dropTable(const char* table) {
        sqlite3* connection = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(dictation.database.filePath()).constData(), &connection),
                 SQLITE_OK);
        QCOMPARE(sqlite3_exec(connection, QByteArray("DROP TABLE ") + table, nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(connection);
    }

    QTemporaryDir directory;
    // The rows' own time, moved apart from the window's to date them.
    VirtualClock rowClock;
    JsonFileKeyValueStore defaults{directory.filePath(QStringLiteral("defaults.json"))};
    DictationRig dictation{{.store = &defaults, .databaseClock = &rowClock}};
    QQmlEngine engine;
    std::unique_ptr<SettingsWindow> window;
    QList<QUrl> opened;
    bool mailOpens = true;
};

QVariant storedValue(const PTTSettings& settings, const QString& path) {
    QVariant value = VariantRecords::fromSettings(settings);
    for (const QString& key : path.split(QLatin1Char('.'))) {
        value = value.toMap().value(key);
    }
    return value;
}

} // namespace

class tst_SettingsWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void eachControlIsStored_data();
    void eachControlIsStored();
    void listsAddAndDelete_data();
    void listsAddAndDelete();
    void apiKeyIsStoredOnlyBySaving();
    void recogniserChosenByKeyboard();
    void savingsFollowThePeriod_data();
    void savingsFollowThePeriod();
    void suggestionMail_data();
    void suggestionMail();
    void oneWindowAndEveryTabDrawn();
};

void tst_SettingsWindow::initTestCase() {
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

void tst_SettingsWindow::eachControlIsStored_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<bool>("pruningOn");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("input"); // text typed; "click"; "down" (the next option)
    QTest::addColumn<QVariantMap>("stored");

    QTest::newRow("auto send") << 0 << false << "autoSendSwitch"
                               << "click" << QVariantMap{{"autoSend", true}};
    QTest::newRow("gesture") << 0 << false << "gestureModeBox"
                             << "down" << QVariantMap{{"hotkey.gestureMode", "toggle"}};
    QTest::newRow("notes mode turns pruning off")
        << 0 << true << "noteModeSwitch"
        << "click" << QVariantMap{{"noteMode", true}, {"promptPruningEnabled", false}};
    QTest::newRow("notes file") << 0 << false << "chooseNotesFile"
                                << "click" << QVariantMap{{"noteMode", true}};
    QTest::newRow("polish") << 1 << false << "polishLevelBox"
                            << "down" << QVariantMap{{"polishLevel", "professional"}};
    QTest::newRow("language") << 1 << false << "sttLanguage"
                              << "es" << QVariantMap{{"sttLanguage", "es"}};
    QTest::newRow("recognizer hint") << 1 << false << "sttPromptArea"
                                     << "K8s & gRPC" << QVariantMap{{"sttPrompt", "K8s & gRPC"}};
    QTest::newRow("pruning") << 2 << false << "promptPruningSwitch"
                             << "click" << QVariantMap{{"promptPruningEnabled", true}};
    QTest::newRow("intensity") << 2 << true << "pruneLevelSegment2"
                               << "click" << QVariantMap{{"promptPruneLevel", "max"}};
    QTest::newRow("target") << 2 << true << "pruneTargetBox"
                            << "down" << QVariantMap{{"promptPruneTarget", "claude"}};
}

void tst_SettingsWindow::eachControlIsStored() {
    QFETCH(int, tab);
    QFETCH(bool, pruningOn);
    QFETCH(QString, control);
    QFETCH(QString, input);
    QFETCH(QVariantMap, stored);

    SettingsRig rig;
    const bool choosingFile = control == QLatin1String("chooseNotesFile");
    const QString chosen = rig.directory.filePath(QStringLiteral("journal/My Notes.md"));
    if (choosingFile) {
        QVERIFY(QDir(rig.directory.path()).mkpath(QStringLiteral("journal")));
        rig.dictation.fileChooser.answer = chosen;
    }
    QVERIFY(rig.controller().setSettingValue(QStringLiteral("promptPruningEnabled"), pruningOn));
    QVERIFY(rig.controller().setSettingValue(QStringLiteral("noteMode"), choosingFile));
    QQuickWindow& window = rig.open(tab);
    const QByteArray name = control.toLatin1();
    if (input == QLatin1String("click")) {
        rig.click(name);
    } else if (input == QLatin1String("down")) {
        rig.item(name)->forceActiveFocus();
        QTest::keyClick(&window, Qt::Key_Down);
    } else {
        rig.type(name, input);
    }
    QTRY_VERIFY(rig.storedSettings() == rig.controller().settings());
    const PTTSettings settings = rig.storedSettings();
    for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
        QCOMPARE(storedValue(settings, it.key()), it.value());
    }
    if (choosingFile) {
        // The chosen file is kept as a bookmark and shown by its path.
        QVERIFY(settings.notesPathBookmark.has_value());
        QCOMPARE(rig.item("notesPath")->property("text").toString(), chosen);
    }
}

void tst_SettingsWindow::listsAddAndDelete_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<QStringList>("fields"); // object names, then the texts typed into them
    QTest::addColumn<QString>("add");        // the default button, or "return" in the first field
    QTest::addColumn<QString>("table");      // dropped first: the save fails
    QTest::addColumn<QString>("error");

    const QStringList snippet{"triggerPhrase", "expandedTextArea", "my email", "ana@example.org"};
    const QStringList correction{"correctionWrong", "correctionRight", "gorgio", "Giorgio"};
    QTest::newRow("snippet") << 3 << snippet << "addSnippet" << QString() << "snippetError";
    QTest::newRow("snippet, not stored") << 3 << snippet << "addSnippet"
                                         << "voice_snippets"
                                         << "snippetError";
    QTest::newRow("correction, Return adds") << 1 << correction << "return" << QString() << "dictionaryError";
    QTest::newRow("correction, not stored") << 1 << correction << "addCorrection"
                                            << "voice_dictionary"
                                            << "dictionaryError";
}

void tst_SettingsWindow::listsAddAndDelete() {
    QFETCH(int, tab);
    QFETCH(QStringList, fields);
    QFETCH(QString, add);
    QFETCH(QString, table);
    QFETCH(QString, error);

    SettingsRig rig;
    QQuickWindow& window = rig.open(tab);
    const bool fails = !table.isEmpty();
    if (fails) {
        rig.dropTable(table.toLatin1());
    }
    const bool correcting = tab == 1;
    if (correcting) {
        rig.click("correctionWholeWord");
    }
    rig.type(fields[0].toLatin1(), fields[2]);
    rig.type(fields[1].toLatin1(), fields[3]);
    if (add == QLatin1String("return")) {
        rig.item(fields[0].toLatin1())->forceActiveFocus();
        QTest::keyClick(&window, Qt::Key_Return);
    } else {
        rig.click(add.toLatin1());
    }

    // What was typed is forgotten only once it is stored; a failure says so under the fields.
    const auto shown = [&](int field) {
        QQuickItem* item = rig.item(fields[field].toLatin1());
        return item->property("text").toString();
    };
    QCOMPARE(shown(0), fails ? fields[2] : QString());
    QCOMPARE(shown(1), fails ? fields[3] : QString());
    QCOMPARE(rig.item(error.toLatin1())->property("text").toString().isEmpty(), !fails);
    if (fails) {
        return;
    }
    LocalDatabase reader(rig.rowClock, rig.dictation.database.filePath());
    QVERIFY(reader.bootstrap().ok());
    if (correcting) {
        QCOMPARE(rig.item("correctionWholeWord")->property("checked").toBool(), true);
        const auto entries = reader.fetchDictionaryEntries();
        QCOMPARE(entries.size(), std::size_t(1));
        QCOMPARE(entries.front().correct, fields[3]);
        QCOMPARE(entries.front().wholeWord, false);
    } else {
        QCOMPARE(reader.fetchSnippets().size(), std::size_t(1));
    }
    rig.click(QByteArray("delete ") + fields[2].toLatin1());
    QTRY_VERIFY(reader.fetchSnippets().empty() && reader.fetchDictionaryEntries().empty());
}

void tst_SettingsWindow::apiKeyIsStoredOnlyBySaving() {
    SettingsRig rig;
    rig.open(4);
    const auto storedKey = [&] {
        JsonFileKeyValueStore file(rig.directory.filePath(QStringLiteral("defaults.json")));
        return KeychainService(file).read(KeychainService::apiKeyAccount);
    };
    // Each typed character stays in the field: nothing is stored, nothing hides it.
    rig.type("apiKey", QStringLiteral(" sk-1 "));
    QVERIFY(rig.item("apiKey")->isVisible());
    QVERIFY(!rig.item("signOut")->isVisible());
    QCOMPARE(storedKey(), std::nullopt);

    rig.click("saveKey");
    QCOMPARE(storedKey(), QStringLiteral("sk-1"));
    QCOMPARE(rig.controller().brevantApiKey(), QStringLiteral("sk-1"));
    QTRY_VERIFY(rig.item("signOut")->isVisible());
    QVERIFY(!rig.item("apiKey")->isVisible());

    rig.click("signOut");
    QCOMPARE(storedKey(), std::nullopt);
    QTRY_VERIFY(rig.item("apiKey")->isVisible());
    QCOMPARE(rig.item("apiKey")->property("text").toString(), QString());
}

void tst_SettingsWindow::recogniserChosenByKeyboard() {
    SettingsRig rig;
    rig.dictation.backend.healthAnswer =
        PTTHealthResponse{true, QStringLiteral("orlavo-server"), true, true, {}};
    rig.dictation.backend.healthAnswer.value().engine = QStringLiteral("openai");
    rig.dictation.backend.healthAnswer.value().upstreamHost = QStringLiteral("api.example.test");
    QQuickWindow& window = rig.open(4);
    rig.item("engineService")->forceActiveFocus();
    QTest::keyClick(&window, Qt::Key_Space);
    rig.type("serviceUrl", QStringLiteral("https://api.example.test/v1"));
    rig.type("serviceKey", QStringLiteral("sk-9"));
    QCOMPARE(rig.item("serviceKey")->property("echoMode").toInt(), 2); // TextInput.Password
    QTest::keyClick(&window, Qt::Key_Return);

    const QByteArray stored =
        TemporaryEnvironment::read(rig.directory.filePath(QStringLiteral("server.json")));
    QVERIFY2(stored.contains(R"("engine": "openai")") && stored.contains("sk-9"), stored.constData());
    QCOMPARE(rig.dictation.backend.reloads, 1);
    QCOMPARE(rig.item("serviceKey")->property("text").toString(), QString());
    QVERIFY(rig.item("engineStatus")->property("text").toString().contains(u"api.example.test"));
    // The key went to the file alone, not to the app's settings.
    QVERIFY(!TemporaryEnvironment::read(rig.directory.filePath(QStringLiteral("defaults.json")))
                 .contains("sk-9"));
}

void tst_SettingsWindow::savingsFollowThePeriod_data() {
    QTest::addColumn<QList<QPoint>>("rows"); // (words before, words after), a minute before now
    QTest::addColumn<QList<QPoint>>("lastMonthRows");
    QTest::addColumn<bool>("reset");
    QTest::addColumn<int>("period");
    QTest::addColumn<QString>("percent");
    QTest::addColumn<QString>("words");
    QTest::addColumn<QString>("cost");

    const QList<QPoint> fortyTwo{{100, 58}};
    QTest::newRow("since reset, never reset") << fortyTwo << QList<QPoint>{} << false << 0 << "42%"
                                              << "100 → 58 words"
                                              << "< $0.01 saved so far";
    QTest::newRow("since reset, after a reset") << fortyTwo << QList<QPoint>{} << true << 0 << "0%"
                                                << "0 → 0 words"
                                                << "";
    QTest::newRow("all time, after a reset") << fortyTwo << QList<QPoint>{} << true << 2 << "42%"
                                             << "100 → 58 words"
                                             << "< $0.01 saved so far";
    QTest::newRow("this month") << QList<QPoint>{{100, 80}} << fortyTwo << false << 1 << "20%"
                                << "100 → 80 words"
                                << "< $0.01 saved so far";
    QTest::newRow("lengthened prompts save nothing")
        << QList<QPoint>{{50, 80}} << QList<QPoint>{} << false << 0 << "0%"
        << "50 → 80 words"
        << "";
    QTest::newRow("large saving") << QList<QPoint>{{100000, 20000}} << QList<QPoint>{} << false << 2 << "80%"
                                  << "100000 → 20000 words"
                                  << "~$1.56 saved vs. Claude Opus 4";
}

void tst_SettingsWindow::savingsFollowThePeriod() {
    QFETCH(QList<QPoint>, rows);
    QFETCH(QList<QPoint>, lastMonthRows);
    QFETCH(bool, reset);
    QFETCH(int, period);
    QFETCH(QString, percent);
    QFETCH(QString, words);
    QFETCH(QString, cost);

    SettingsRig rig;
    const QDateTime now = rig.dictation.scheduler.clock().now();
    const auto insert = [&](const QList<QPoint>& records, const QDateTime& when) {
        rig.rowClock.setNow(when);
        for (const QPoint& record : records) {
            rig.dictation.database.insertPruningStats({record.x(), record.y(), 0, 0, "medium", "universal"});
        }
    };
    insert(lastMonthRows, now.addDays(-40));
    insert(rows, now.addSecs(-60));
    rig.open(2);
    QVERIFY(rig.item("savingsSection")->isVisible());
    if (reset) {
        rig.click("resetCounter");
        QTRY_VERIFY(rig.item("resetConfirm") && rig.item("resetConfirm")->isVisible());
        rig.click("resetConfirm");
    }
    rig.click(QByteArray("periodSegment") + QByteArray::number(period));

    QTRY_COMPARE(rig.item("percent")->property("text").toString(), percent);
    QCOMPARE(rig.item("wordsLine")->property("text").toString(), words);
    QCOMPARE(rig.item("costLine")->property("text").toString(), cost);
    const double fraction = percent.chopped(1).toDouble() / 100;
    QCOMPARE(qRound(rig.item("savingsBar")->width()), qRound(rig.item("savingsTrack")->width() * fraction));
    QCOMPARE(rig.item("resetCounter")->isVisible(), period == 0);
}

void tst_SettingsWindow::suggestionMail_data() {
    QTest::addColumn<bool>("mailOpens");
    QTest::newRow("a mail application opens it") << true;
    QTest::newRow("no mail application") << false;
}

void tst_SettingsWindow::suggestionMail() {
    QFETCH(bool, mailOpens);
    SettingsRig rig;
    rig.mailOpens = mailOpens;
    rig.open(4);
    const QString text = QStringLiteral("Tags like #work & a=b+c?");
    rig.type("featureTextArea", text);
    rig.click("sendSuggestion");

    QCOMPARE(rig.opened.size(), 1);
    const QUrl mail = rig.opened.front();
    QCOMPARE(mail.scheme(), QStringLiteral("mailto"));
    QCOMPARE(mail.path(), QStringLiteral("ideas@example.org"));
    // Every separator in the text stays text: one subject, one body, all of it.
    const QUrlQuery query(mail);
    QCOMPARE(query.queryItems().size(), 2);
    QCOMPARE(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded),
             text + QStringLiteral("\n\n---\nOrlavo v1.2.0 (42)\nLinux, Debian 12"));
    QCOMPARE(rig.window->account()->feedbackSent(), mailOpens);
    QCOMPARE(rig.item("feedbackError")->property("text").toString().isEmpty(), mailOpens);
    rig.dictation.scheduler.advance(AccountPanel::thanksSeconds);
    QVERIFY(!rig.window->account()->feedbackSent());
}

void tst_SettingsWindow::oneWindowAndEveryTabDrawn() {
    SettingsRig rig;
    QVERIFY(rig.dictation.database.saveSnippet(QStringLiteral("my email"), QStringLiteral("ana@example.org"))
                .ok());
    QVERIFY(
        rig.dictation.database.saveDictionaryEntry(QStringLiteral("gorgio"), QStringLiteral("Giorgio"), true)
            .ok());
    rig.dictation.database.insertPruningStats(
        {100, 58, 600, 350, QStringLiteral("medium"), QStringLiteral("claude")});
    QVERIFY(rig.controller().setSettingValue(QStringLiteral("promptPruningEnabled"), true));
    QVERIFY(rig.controller().setSettingValue(QStringLiteral("noteMode"), true));
    QQuickWindow& window = rig.open(0);
    rig.window->present();
    QCOMPARE(rig.window->window(), &window);
    QCOMPARE(window.size(), QSize(SettingsWindow::width, SettingsWindow::height));
    const QStringList tabs{"general", "voice", "ai", "snippets", "account"};
    for (int tab = 0; tab < tabs.size(); ++tab) {
        qobject_cast<QQuickView*>(&window)->rootObject()->setProperty("currentIndex", tab);
        const QImage image = window.grabWindow();
        QVERIFY(!image.isNull());
        QVERIFY(image.save(QCoreApplication::applicationDirPath() +
                           QStringLiteral("/settings-%1.png").arg(tabs[tab])));
    }
    rig.window->close();
    QVERIFY(!rig.window->isOpen());
}

QTEST_MAIN(tst_SettingsWindow)
#include "tst_SettingsWindow.moc"
