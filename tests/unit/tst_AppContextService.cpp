#include "context/AppContextService.h"

#include <QTest>

class tst_AppContextService : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void classification_data();
    void classification();
    void formatting_data();
    void formatting();
};

void tst_AppContextService::classification_data() {
    QTest::addColumn<QString>("name"); // "<absent>" for no application
    QTest::addColumn<QString>("kind");

    QTest::newRow("absent") << QStringLiteral("<absent>") << QStringLiteral("other");
    QTest::newRow("empty") << QString() << QStringLiteral("other");
    QTest::newRow("Visual Studio Code") << QStringLiteral("Visual Studio Code") << QStringLiteral("code");
    QTest::newRow("Messages") << QStringLiteral("Messages") << QStringLiteral("chat");
    QTest::newRow("Microsoft Outlook") << QStringLiteral("Microsoft Outlook") << QStringLiteral("email");
    QTest::newRow("chat word wins over code word")
        << QStringLiteral("Slack Code Review") << QStringLiteral("chat");
    QTest::newRow("Terminal") << QStringLiteral("Terminal") << QStringLiteral("code");
    QTest::newRow("Gmail") << QStringLiteral("Gmail") << QStringLiteral("email");
    QTest::newRow("Notes") << QStringLiteral("Notes") << QStringLiteral("notes");
    QTest::newRow("Obsidian") << QStringLiteral("obsidian") << QStringLiteral("notes");
    QTest::newRow("Linux class of Telegram") << QStringLiteral("TelegramDesktop") << QStringLiteral("chat");
    QTest::newRow("GNOME Terminal class") << QStringLiteral("Gnome-terminal") << QStringLiteral("code");
    QTest::newRow("kitty") << QStringLiteral("kitty") << QStringLiteral("code");
    QTest::newRow("Konsole") << QStringLiteral("konsole") << QStringLiteral("code");
    QTest::newRow("XTerm") << QStringLiteral("XTerm") << QStringLiteral("code");
    QTest::newRow("VSCodium") << QStringLiteral("VSCodium") << QStringLiteral("code");
    QTest::newRow("Thunderbird") << QStringLiteral("thunderbird") << QStringLiteral("email");
    QTest::newRow("Evolution") << QStringLiteral("Evolution") << QStringLiteral("email");
    QTest::newRow("Vesktop (Discord)") << QStringLiteral("vesktop") << QStringLiteral("chat");
    // The added Linux names never override a kind the first table gives.
    QTest::newRow("mail word beats added terminal word")
        << QStringLiteral("KMail in Konsole") << QStringLiteral("email");
    QTest::newRow("notes word beats added mail word")
        << QStringLiteral("Thunderbird Notes") << QStringLiteral("notes");
    QTest::newRow("unknown") << QStringLiteral("Firefox") << QStringLiteral("other");
}

void tst_AppContextService::classification() {
    QFETCH(QString, name);
    QFETCH(QString, kind);
    const AppContextService service;
    const auto appName = name == QLatin1String("<absent>") ? std::nullopt : std::optional(name);
    QCOMPARE(rawValue(service.appType(appName)), kind);
}

void tst_AppContextService::formatting_data() {
    QTest::addColumn<QString>("app");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("chat: one sentence")
        << QStringLiteral("Slack") << QStringLiteral("Sounds good.") << QStringLiteral("sounds good");
    QTest::newRow("chat: I keeps its capital")
        << QStringLiteral("Slack") << QStringLiteral("I agree.") << QStringLiteral("I agree");
    QTest::newRow("chat: acronym") << QStringLiteral("Slack") << QStringLiteral("OK then.")
                                   << QStringLiteral("OK then");
    QTest::newRow("chat: two sentences")
        << QStringLiteral("Slack") << QStringLiteral("Done. See you.") << QStringLiteral("Done. See you.");
    QTest::newRow("chat: line break")
        << QStringLiteral("Slack") << QStringLiteral("Hi\nthere.") << QStringLiteral("Hi\nthere.");
    QTest::newRow("chat: only a full stop") << QStringLiteral("Discord") << QStringLiteral(".") << QString();
    QTest::newRow("chat: letter outside ASCII")
        << QStringLiteral("Telegram") << QStringLiteral("Ñandú visto.") << QStringLiteral("ñandú visto");
    QTest::newRow("chat: ellipsis stays")
        << QStringLiteral("Slack") << QStringLiteral("Well…") << QStringLiteral("well…");
    QTest::newRow("code: typographic quotes")
        << QStringLiteral("Xcode") << QStringLiteral("say “hi” and ‘bye’. Don’t.")
        << QStringLiteral("say \"hi\" and 'bye'. Don't.");
    QTest::newRow("mail: sentence") << QStringLiteral("Mail") << QStringLiteral("see you tomorrow")
                                    << QStringLiteral("See you tomorrow.");
    QTest::newRow("mail: question") << QStringLiteral("Mail") << QStringLiteral("Really?")
                                    << QStringLiteral("Really?");
    QTest::newRow("mail: surrounding spaces")
        << QStringLiteral("Mail") << QStringLiteral("  thanks  ") << QStringLiteral("thanks.");
    QTest::newRow("mail: final line break")
        << QStringLiteral("Mail") << QStringLiteral("Thanks\n") << QStringLiteral("Thanks.\n");
    QTest::newRow("mail: white space only")
        << QStringLiteral("Mail") << QStringLiteral(" \n ") << QStringLiteral(" \n ");
    QTest::newRow("notes: unchanged")
        << QStringLiteral("Notion") << QStringLiteral("a note.") << QStringLiteral("a note.");
    QTest::newRow("other: unchanged")
        << QStringLiteral("Firefox") << QStringLiteral("“as is.”") << QStringLiteral("“as is.”");
}

void tst_AppContextService::formatting() {
    QFETCH(QString, app);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const AppContextService service;
    QCOMPARE(service.applyContextFormatting(text, app), expected);
}

QTEST_GUILESS_MAIN(tst_AppContextService)
#include "tst_AppContextService.moc"
