#include "VirtualClock.h"
#include "context/AppContextService.h"
#include "storage/LocalDatabase.h"
#include "text/TextCharacters.h"
#include "text/TextMetrics.h"
#include "text/TextProcessingService.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// A real database file in a temporary folder, with the entries a test needs.
class Personalization final {
public:
    Personalization()
        : m_database(m_clock, m_directory.filePath(QStringLiteral("ptt.sqlite"))) {
        QVERIFY(m_database.bootstrap().ok());
    }

    // Entries as "wrong\tcorrect\twhole" or "wrong\tcorrect\tpart".
    void addDictionary(const QStringList& entries) {
        for (const QString& entry : entries) {
            const QStringList fields = entry.split(QLatin1Char('\t'));
            QVERIFY(m_database.saveDictionaryEntry(fields.at(0), fields.at(1),
                                                   fields.at(2) == QLatin1String("whole")));
        }
    }
    void addSnippet(const QString& trigger, const QString& body) {
        QVERIFY(m_database.saveSnippet(trigger, body).ok());
    }

    LocalDatabase& database() { return m_database; }

private:
    QTemporaryDir m_directory;
    VirtualClock m_clock;
    LocalDatabase m_database;
};

bool isWellFormed(const QString& text) {
    for (qsizetype index = 0; index < text.size(); ++index) {
        const QChar unit = text.at(index);
        if (unit.isHighSurrogate()) {
            if (index + 1 >= text.size() || !text.at(index + 1).isLowSurrogate()) {
                return false;
            }
            ++index;
        } else if (unit.isLowSurrogate()) {
            return false;
        }
    }
    return true;
}

// Runs of word characters as the patterns' `\w` sees them (combining marks included).
QStringList wordsOf(const QString& text) {
    QStringList words;
    QString word;
    qsizetype index = 0;
    while (index < text.size()) {
        qsizetype length = 0;
        if (TextCharacters::isWordCharacter(TextCharacters::codePointAt(text, index, &length))) {
            word += text.mid(index, length);
        } else if (!word.isEmpty()) {
            words.append(word);
            word.clear();
        }
        index += length;
    }
    if (!word.isEmpty()) {
        words.append(word);
    }
    return words;
}

} // namespace

class tst_TextProcessingService : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void snippets_data();
    void snippets();
    void dictionary_data();
    void dictionary();
    void fillers_data();
    void fillers();
    void punctuation_data();
    void punctuation();
    void wholePipeline_data();
    void wholePipeline();
    void storedChangesAreSeen();
    void randomInputIsSafeAndStable();
};

void tst_TextProcessingService::snippets_data() {
    QTest::addColumn<QString>("utterance");
    QTest::addColumn<QString>("body"); // empty: no snippet

    QTest::newRow("exact trigger") << QStringLiteral("my email") << QStringLiteral("ana@example.com");
    QTest::newRow("capitals and full stop")
        << QStringLiteral("My email.") << QStringLiteral("ana@example.com");
    QTest::newRow("quoted, exclamation")
        << QStringLiteral("\"My email!\"") << QStringLiteral("ana@example.com");
    QTest::newRow("command prefix") << QStringLiteral("insert my email") << QStringLiteral("ana@example.com");
    QTest::newRow("long prefix after its shorter form")
        << QStringLiteral("please insert my email") << QStringLiteral("ana@example.com");
    QTest::newRow("spanish prefix and synonyms")
        << QStringLiteral("Por favor escribe mi correo.") << QStringLiteral("ana@example.com");
    QTest::newRow("plural synonym, hyphenated mail")
        << QStringLiteral("pega mis e-mail") << QStringLiteral("ana@example.com");
    QTest::newRow("accented synonym") << QStringLiteral("Mi dirección") << QStringLiteral("Calle Mayor 1");
    QTest::newRow("trigger stored with spaces and capitals")
        << QStringLiteral("Insert my signature.") << QStringLiteral("Ana\nCEO");
    QTest::newRow("spanish trigger, exact words")
        << QStringLiteral("mi firma") << QStringLiteral("Ana, directora");
    QTest::newRow("white space inside")
        << QStringLiteral("  my \t\n email  ") << QStringLiteral("ana@example.com");
    QTest::newRow("inner punctuation becomes a space")
        << QStringLiteral("my, email") << QStringLiteral("ana@example.com");
    QTest::newRow("more words than the trigger") << QStringLiteral("send my email") << QString();
    QTest::newRow("prefix without a space") << QStringLiteral("insertmy email") << QString();
    QTest::newRow("nothing said") << QString() << QString();
    QTest::newRow("only a prefix and a full stop") << QStringLiteral("Insert.") << QString();
}

void tst_TextProcessingService::snippets() {
    Personalization stored;
    stored.addSnippet(QStringLiteral("my email"), QStringLiteral("ana@example.com"));
    stored.addSnippet(QStringLiteral(" My Signature "), QStringLiteral("Ana\nCEO"));
    stored.addSnippet(QStringLiteral("mi firma"), QStringLiteral("Ana, directora"));
    stored.addSnippet(QStringLiteral("my address"), QStringLiteral("Calle Mayor 1"));
    // Only white space: can never be said, so it must not catch an utterance that normalises to nothing.
    stored.addSnippet(QStringLiteral("   "), QStringLiteral("never"));
    AppContextService appContext;
    TextProcessingService service(stored.database(), appContext);

    QFETCH(QString, utterance);
    QFETCH(QString, body);
    const auto matched = service.matchSnippet(utterance);
    if (body.isEmpty()) {
        QCOMPARE(matched, std::nullopt);
    } else {
        QCOMPARE(matched, std::optional<QString>(body));
    }
}

void tst_TextProcessingService::dictionary_data() {
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    const QStringList gptWhole{QStringLiteral("gpt\tGPT\twhole")};
    QTest::newRow("whole word") << gptWhole << QStringLiteral("chatgpt and gpt")
                                << QStringLiteral("chatgpt and GPT");
    QTest::newRow("part of words") << QStringList{QStringLiteral("gpt\tGPT\tpart")}
                                   << QStringLiteral("chatgpt and gpt") << QStringLiteral("chatGPT and GPT");
    QTest::newRow("any case matches, correction as written")
        << QStringList{QStringLiteral("kubernetes\tKubernetes\twhole")}
        << QStringLiteral("KUBERNETES and kuberNetes") << QStringLiteral("Kubernetes and Kubernetes");
    QTest::newRow("dot is literal") << QStringList{QStringLiteral("v1.2\tversion 1.2\twhole")}
                                    << QStringLiteral("v1.2 not v1x2")
                                    << QStringLiteral("version 1.2 not v1x2");
    QTest::newRow("regex metacharacters")
        << QStringList{QStringLiteral("(a|b)*\teither\tpart")} << QStringLiteral("pick (a|b)* or ab")
        << QStringLiteral("pick either or ab");
    QTest::newRow("dollar and digit inserted literally")
        << QStringList{QStringLiteral("usd five\tUS$5\twhole")} << QStringLiteral("it costs usd five")
        << QStringLiteral("it costs US$5");
    QTest::newRow("backslash inserted literally")
        << QStringList{QStringLiteral("c drive users\tC:\\Users\twhole")}
        << QStringLiteral("open c drive users") << QStringLiteral("open C:\\Users");
    QTest::newRow("whole word ending in punctuation")
        << QStringList{QStringLiteral("c++\tC++\twhole"), QStringLiteral(".net\t.NET\twhole")}
        << QStringLiteral("c++ and .net, not asp.net or abc++")
        << QStringLiteral("C++ and .NET, not asp.net or abc++");
    QTest::newRow("accented letters are word characters")
        << QStringList{QStringLiteral("acción\tAcción\twhole"), QStringLiteral("cafe\tcafé\twhole")}
        << QStringLiteral("reacción, acción; cafetería, cafe.")
        << QStringLiteral("reacción, Acción; cafetería, café.");
    QTest::newRow("ñ inside a word") << QStringList{QStringLiteral("nandu\tñandú\twhole")}
                                     << QStringLiteral("el nandu, not ñandu")
                                     << QStringLiteral("el ñandú, not ñandu");
    QTest::newRow("entries apply in order, each on the result before")
        << QStringList{QStringLiteral("york\tYORK\twhole"), QStringLiteral("new york\tNew York City\twhole")}
        << QStringLiteral("new york") << QStringLiteral("New YORK City");
    QTest::newRow("correction containing its own wrong text")
        << QStringList{QStringLiteral("js\tJavaScript (js)\twhole")} << QStringLiteral("js js")
        << QStringLiteral("JavaScript (js) JavaScript (js)");
    QTest::newRow("full case folding")
        << QStringList{QStringLiteral("straße\tStraße\twhole"), QStringLiteral("\u01C5\tX\tpart")}
        << QStringLiteral("STRASSE, strasse, \u01C4 \u01C6") << QStringLiteral("Straße, Straße, X X");
    QTest::newRow("empty wrong text is skipped")
        << QStringList{QStringLiteral("\tX\tpart")} << QStringLiteral("abc") << QStringLiteral("abc");
    QTest::newRow("emoji entry") << QStringList{QStringLiteral("thumbs up\t👍🏽\twhole")}
                                 << QStringLiteral("thumbs up!") << QStringLiteral("👍🏽!");
    QTest::newRow("empty text") << gptWhole << QString() << QString();
}

void tst_TextProcessingService::dictionary() {
    QFETCH(QStringList, entries);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    Personalization stored;
    stored.addDictionary(entries);
    AppContextService appContext;
    TextProcessingService service(stored.database(), appContext);
    QCOMPARE(service.applyDictionary(input), expected);
}

void tst_TextProcessingService::fillers_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("english, with commas")
        << QStringLiteral("um, so uh we should go") << QStringLiteral("So we should go");
    QTest::newRow("capitalised filler is a word")
        << QStringLiteral("Um, so we go") << QStringLiteral("Um, so we go");
    QTest::newRow("spanish, accented") << QStringLiteral("mmm ajá vale") << QStringLiteral("Vale");
    QTest::newRow("comma left at either end") << QStringLiteral("eh, bueno, ehm") << QStringLiteral("Bueno");
    QTest::newRow("words that contain a filler")
        << QStringLiteral("umbrella hum ehm ahem") << QStringLiteral("Umbrella hum ahem");
    QTest::newRow("filler before a full stop")
        << QStringLiteral("we go uh. next") << QStringLiteral("We go next");
    QTest::newRow("first letter outside ASCII") << QStringLiteral("um ñandú") << QStringLiteral("Ñandú");
    QTest::newRow("emoji first") << QStringLiteral("👍🏽 um ok") << QStringLiteral("👍🏽 ok");
    QTest::newRow("only fillers") << QStringLiteral("um uh hmm") << QString();
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("white space only") << QStringLiteral(" \t\n ") << QString();
}

void tst_TextProcessingService::fillers() {
    Personalization stored;
    AppContextService appContext;
    TextProcessingService service(stored.database(), appContext);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(service.removeFillers(input), expected);
}

void tst_TextProcessingService::punctuation_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("english comma and period")
        << QStringLiteral("hello comma world period") << QStringLiteral("Hello, world.");
    QTest::newRow("spanish longer phrase first")
        << QStringLiteral("hola punto y coma adiós") << QStringLiteral("Hola; adiós");
    QTest::newRow("spanish paragraph")
        << QStringLiteral("fin punto y aparte siguiente") << QStringLiteral("Fin \n Siguiente");
    QTest::newRow("new line keeps its spaces")
        << QStringLiteral("one new line two") << QStringLiteral("One \n Two");
    QTest::newRow("line break after a full stop")
        << QStringLiteral("first period new line second") << QStringLiteral("First. Second");
    QTest::newRow("spoken quotes") << QStringLiteral("he said open quote hi close quote")
                                   << QStringLiteral("He said\"hi\"");
    QTest::newRow("word after a closing quote")
        << QStringLiteral("he said open quote hi close quote and left")
        << QStringLiteral("He said\"hi\" and left");
    QTest::newRow("digit keeps the capital waiting")
        << QStringLiteral("I have 3 apples. 2 are red") << QStringLiteral("I have 3 apples. 2 Are red");
    QTest::newRow("typed dots collapse") << QStringLiteral("wait... what") << QStringLiteral("Wait. What");
    QTest::newRow("bracket keeps the capital waiting")
        << QStringLiteral("open paren aside close paren okay") << QStringLiteral("(Aside) okay");
    QTest::newRow("spanish question, accents either way")
        << QStringLiteral("hola coma qué tal signo de interrogacion nueva línea adiós salto de linea fin")
        << QStringLiteral("Hola, qué tal? Adiós \n Fin");
    QTest::newRow("commands at the start, upper case")
        << QStringLiteral("EXCLAMATION MARK hola Comma Dos Puntos") << QStringLiteral("! Hola,:");
    QTest::newRow("words that contain a command")
        << QStringLiteral("periodic comas colonial puntos enterprise newlines")
        << QStringLiteral("Periodic comas colonial puntos enterprise newlines");
    QTest::newRow("ellipsis does not start a sentence")
        << QStringLiteral("wait ellipsis then tres puntos") << QStringLiteral("Wait… then…");
    QTest::newRow("decimal number") << QStringLiteral("it costs 3.50 dollars")
                                    << QStringLiteral("It costs 3.50 dollars");
    QTest::newRow("domain and file name") << QStringLiteral("see example.com and notes.txt period")
                                          << QStringLiteral("See example.com and notes.txt.");
    QTest::newRow("possessive apostrophe") << QStringLiteral("the students' books and ' quoted")
                                           << QStringLiteral("The students' books and 'quoted");
    QTest::newRow("decomposed accent at a sentence start")
        << QStringLiteral("ok period e\u0301l vino") << QStringLiteral("Ok. E\u0301l vino");
    QTest::newRow("emoji before a full stop")
        << QStringLiteral("👍🏽 period next") << QStringLiteral("👍🏽. Next");
    QTest::newRow("press enter") << QStringLiteral("type this press enter done")
                                 << QStringLiteral("Type this \n Done");
    QTest::newRow("question and exclamation runs")
        << QStringLiteral("what?? no!!! ok?!") << QStringLiteral("What? No! Ok?!");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("white space only") << QStringLiteral(" \n\t ") << QString();
}

void tst_TextProcessingService::punctuation() {
    Personalization stored;
    AppContextService appContext;
    TextProcessingService service(stored.database(), appContext);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(service.applyPunctuationCommands(input), expected);
}

void tst_TextProcessingService::wholePipeline_data() {
    QTest::addColumn<QString>("transcript");
    QTest::addColumn<QString>("app");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<qint64>("characters");

    QTest::newRow("snippet body is final, even in chat")
        << QStringLiteral("  Insert my signature.  ") << QStringLiteral("Slack") << QStringLiteral("Ana.\n")
        << qint64(5);
    QTest::newRow("dictionary, fillers, punctuation")
        << QStringLiteral("um so i asked chatgpt comma uh then gpt period") << QString()
        << QStringLiteral("So i asked chatgpt, then GPT.") << qint64(29);
    QTest::newRow("chat style") << QStringLiteral("sounds good period") << QStringLiteral("Slack")
                                << QStringLiteral("sounds good") << qint64(11);
    QTest::newRow("mail style") << QStringLiteral("see you tomorrow") << QStringLiteral("Thunderbird")
                                << QStringLiteral("See you tomorrow.") << qint64(17);
    QTest::newRow("graphemes survive")
        << QStringLiteral("e\u0301xito 👍🏽 comma 🇪🇸 period") << QStringLiteral("Mail")
        << QStringLiteral("E\u0301xito 👍🏽, 🇪🇸.") << qint64(11);
    QTest::newRow("nothing left") << QStringLiteral("um") << QStringLiteral("Mail") << QString() << qint64(0);
}

void tst_TextProcessingService::wholePipeline() {
    Personalization stored;
    stored.addSnippet(QStringLiteral("my signature"), QStringLiteral("Ana.\n"));
    stored.addDictionary({QStringLiteral("gpt\tGPT\twhole")});
    AppContextService appContext;
    TextProcessingService service(stored.database(), appContext);
    QFETCH(QString, transcript);
    QFETCH(QString, app);
    QFETCH(QString, expected);
    QFETCH(qint64, characters);
    const QString typed = service.process(transcript, app.isEmpty() ? std::nullopt : std::optional(app));
    QCOMPARE(typed, expected);
    QCOMPARE(TextMetrics::characterCount(typed), characters);
}

void tst_TextProcessingService::storedChangesAreSeen() {
    QTemporaryDir directory;
    VirtualClock clock;
    const QString path = directory.filePath(QStringLiteral("ptt.sqlite"));
    {
        LocalDatabase writer(clock, path);
        QVERIFY(writer.bootstrap().ok());
        QVERIFY(writer.saveSnippet(QStringLiteral("my phone"), QStringLiteral("555-0100")).ok());
    }
    // Created before the database is opened, as at start-up: the first use sees nothing, and
    // the entries appear once it is open.
    LocalDatabase database(clock, path);
    AppContextService appContext;
    TextProcessingService service(database, appContext);
    QCOMPARE(service.matchSnippet(QStringLiteral("my phone")), std::nullopt);
    QCOMPARE(service.applyDictionary(QStringLiteral("gpt")), QStringLiteral("gpt"));
    QVERIFY(database.bootstrap().ok());
    QCOMPARE(service.matchSnippet(QStringLiteral("mi teléfono")),
             std::optional<QString>(QStringLiteral("555-0100")));

    QVERIFY(database.saveDictionaryEntry(QStringLiteral("gpt"), QStringLiteral("GPT"), true).ok());
    QCOMPARE(service.applyDictionary(QStringLiteral("gpt")), QStringLiteral("GPT"));
    QVERIFY(database.saveDictionaryEntry(QStringLiteral("GPT"), QStringLiteral("G.P.T."), false).ok());
    QCOMPARE(service.applyDictionary(QStringLiteral("chatgpt")), QStringLiteral("chatG.P.T."));
    QVERIFY(database.deleteDictionaryEntry(database.fetchDictionaryEntries().front().id).ok());
    QCOMPARE(service.applyDictionary(QStringLiteral("gpt")), QStringLiteral("gpt"));

    QVERIFY(database.saveSnippet(QStringLiteral("My Phone"), QStringLiteral("555-0199")).ok());
    QCOMPARE(service.matchSnippet(QStringLiteral("my phone")),
             std::optional<QString>(QStringLiteral("555-0199")));
    QVERIFY(database.deleteSnippet(database.fetchSnippets().front().id).ok());
    QCOMPARE(service.matchSnippet(QStringLiteral("my phone")), std::nullopt);
}

void tst_TextProcessingService::randomInputIsSafeAndStable() {
    Personalization stored;
    stored.addDictionary(
        {QStringLiteral("c++\tC++\twhole"), QStringLiteral("$1\t\\1$\tpart"), QStringLiteral("ó\tÓ\tpart")});
    stored.addSnippet(QStringLiteral("my email"), QStringLiteral("ana@example.com"));
    AppContextService appContext;
    TextProcessingService service(stored.database(), appContext);

    const QStringList fragments{
        QStringLiteral("hello"),
        QStringLiteral("Ñandú"),
        QStringLiteral("acción"),
        QStringLiteral("привет"),
        QStringLiteral("日本語"),
        QStringLiteral("مرحبا"),
        QStringLiteral("3.50"),
        QStringLiteral("example.com"),
        QStringLiteral("period"),
        QStringLiteral("coma"),
        QStringLiteral("punto y coma"),
        QStringLiteral("punto"),
        QStringLiteral("nueva línea"),
        QStringLiteral("new paragraph"),
        QStringLiteral("open quote"),
        QStringLiteral("close paren"),
        QStringLiteral("question mark"),
        QStringLiteral("um"),
        QStringLiteral("ajá"),
        QStringLiteral("eh,"),
        QStringLiteral("c++"),
        QStringLiteral("$1"),
        QStringLiteral(" "),
        QStringLiteral("  "),
        QStringLiteral("\t"),
        QStringLiteral("\n"),
        QStringLiteral("\r\n"),
        QStringLiteral("\u00a0"),
        QStringLiteral("\u2003"),
        QStringLiteral("."),
        QStringLiteral(","),
        QStringLiteral("!"),
        QStringLiteral("?"),
        QStringLiteral("…"),
        QStringLiteral("'"),
        QStringLiteral("\""),
        QStringLiteral("("),
        QStringLiteral(")"),
        QStringLiteral("["),
        QStringLiteral("}"),
        QStringLiteral("👍🏽"),
        QStringLiteral("👨‍👩‍👧"),
        QStringLiteral("🇪🇸"),
        QStringLiteral("\u0301"),
        QStringLiteral("e\u0301"),
        QStringLiteral("ß"),
        QStringLiteral("insert"),
        QStringLiteral("my email"),
    };
    const QRegularExpression nonWord(QStringLiteral("[^\\w]+"),
                                     QRegularExpression::UseUnicodePropertiesOption);
    const QStringList fillers{QStringLiteral("eh"),  QStringLiteral("ehm"), QStringLiteral("em"),
                              QStringLiteral("mm"),  QStringLiteral("mmm"), QStringLiteral("ajá"),
                              QStringLiteral("uh"),  QStringLiteral("uhm"), QStringLiteral("um"),
                              QStringLiteral("umm"), QStringLiteral("hm"),  QStringLiteral("hmm")};
    QRandomGenerator random(20260115);
    for (int sample = 0; sample < 3000; ++sample) {
        QByteArray bytes;
        const int pieces = random.bounded(1, 24);
        for (int piece = 0; piece < pieces; ++piece) {
            if (random.bounded(8) == 0) {
                bytes.append(static_cast<char>(random.bounded(0x80, 0x100))); // a stray byte: invalid UTF-8
            } else {
                bytes.append(fragments.at(random.bounded(fragments.size())).toUtf8());
            }
            if (random.bounded(2) == 0) {
                bytes.append(' ');
            }
        }
        const QString input = QString::fromUtf8(bytes);
        const QString typed = service.process(input, QStringLiteral("Slack"));
        QVERIFY2(isWellFormed(typed), bytes.toHex().constData());
        QCOMPARE(QString::fromUtf8(typed.toUtf8()), typed);

        const QString punctuated = service.applyPunctuationCommands(input);
        QVERIFY2(service.applyPunctuationCommands(punctuated) == punctuated, qPrintable(input));
        const QString cleaned = service.removeFillers(input);
        for (const QString& word : wordsOf(cleaned)) {
            QVERIFY2(!fillers.contains(word), qPrintable(input));
        }
    }
}

QTEST_GUILESS_MAIN(tst_TextProcessingService)
#include "tst_TextProcessingService.moc"
