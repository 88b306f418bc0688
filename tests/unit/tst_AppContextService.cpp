#include "core/context/AppContextService.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class tst_AppContextService : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void classification();
    void formatting_data();
    void formatting();
};

void tst_AppContextService::classification() {
    const AppContextService service;
    const auto kindOf = [&](const QString& name) { return QString(rawValue(service.appType(name))); };
    QCOMPARE(rawValue(service.appType(std::nullopt)), u"other"_s);
    const QList<QPair<QString, QString>> cases{
        {u"Visual Studio Code"_s, u"code"_s},
        {u"Microsoft Outlook"_s, u"email"_s},
        {u"Notes"_s, u"notes"_s},
        {u"Slack Code Review"_s, u"chat"_s},
        {u"Firefox"_s, u"other"_s},
        // Linux window classes of the same applications, and terminal emulators.
        {u"Gnome-terminal"_s, u"code"_s},
        {u"thunderbird"_s, u"email"_s},
        // The added names never change a kind that the words above give.
        {u"KMail in Konsole"_s, u"email"_s},
        {u"Thunderbird Notes"_s, u"notes"_s},
    };
    for (const auto& [name, kind] : cases) {
        QVERIFY2(kindOf(name) == kind, qPrintable(name));
    }
}

void tst_AppContextService::formatting_data() {
    QTest::addColumn<QString>("app");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* name, const QString& app, const QString& text, const QString& expected) {
        QTest::newRow(name) << app << text << expected;
    };
    row("chat: one sentence", u"Slack"_s, u"Sounds good."_s, u"sounds good"_s);
    row("chat: I and acronyms keep their capital", u"Slack"_s, u"OK, I agree."_s, u"OK, I agree"_s);
    row("chat: line break", u"Slack"_s, u"Hi\nthere."_s, u"Hi\nthere."_s);
    row("chat: only a full stop", u"Discord"_s, u"."_s, QString());
    row("chat: letter outside ASCII", u"Telegram"_s, u"Ñandú visto."_s, u"ñandú visto"_s);
    row("code: typographic quotes", u"Xcode"_s, u"say “hi”, ‘bye’. Don’t."_s, u"say \"hi\", 'bye'. Don't."_s);
    row("mail: sentence", u"Mail"_s, u"see you tomorrow"_s, u"See you tomorrow."_s);
    row("mail: question", u"Mail"_s, u"Really?"_s, u"Really?"_s);
    row("mail: surrounding spaces", u"Mail"_s, u"  thanks  "_s, u"thanks."_s);
    row("mail: final line break", u"Mail"_s, u"Thanks\n"_s, u"Thanks.\n"_s);
    row("mail: white space only", u"Mail"_s, u" \n "_s, u" \n "_s);
    row("notes: unchanged", u"Notion"_s, u"a note."_s, u"a note."_s);
}

void tst_AppContextService::formatting() {
    QFETCH(QString, app);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(AppContextService().applyContextFormatting(text, app), expected);
}

QTEST_GUILESS_MAIN(tst_AppContextService)
#include "tst_AppContextService.moc"
