#include "VirtualClock.h"
#include "core/context/AppContextService.h"
#include "core/storage/LocalDatabase.h"
#include "core/text/TextMetrics.h"
#include "core/text/TextProcessingService.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// A real database file with the entries a test needs, and the service reading it.
struct Pipeline {
    QTemporaryDir directory;
    VirtualClock clock;
    LocalDatabase database{clock, directory.filePath(u"ptt.sqlite"_s)};
    AppContextService appContext;
    TextProcessingService service{database, appContext};

    // Dictionary entries as "wrong→correct" (whole word) or "wrong~correct" (part of words).
    explicit Pipeline(const QStringList& dictionary = {},
                      const QList<QPair<QString, QString>>& snippets = {}) {
        QVERIFY(database.bootstrap().ok());
        for (const QString& entry : dictionary) {
            const bool whole = entry.contains(u'→');
            const QStringList fields = entry.split(whole ? u'→' : u'~');
            QVERIFY(database.saveDictionaryEntry(fields.at(0), fields.at(1), whole).ok());
        }
        for (const auto& [trigger, body] : snippets) {
            QVERIFY(database.saveSnippet(trigger, body).ok());
        }
    }
};

enum class Stage { snippet, dictionary, fillers, punctuation };

} // namespace

Q_DECLARE_METATYPE(Stage)

class tst_TextProcessingService : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void stages_data();
    void stages();
    void wholePipeline();
    void storedChangesAreSeen();
    void randomInputIsSafeAndStable();
    void counts_data();
    void counts();
};

void tst_TextProcessingService::stages_data() {
    QTest::addColumn<Stage>("stage");
    QTest::addColumn<QStringList>("entries"); // dictionary entries
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected"); // snippets: empty when none matches
    const auto row = [](Stage stage, const char* name, const QString& in, const QString& out,
                        const QStringList& entries = {}) {
        QTest::newRow(name) << stage << entries << in << out;
    };
    const QString email = u"ana@example.com"_s;
    row(Stage::snippet, "snippet: capitals and full stop", u"My email."_s, email);
    row(Stage::snippet, "snippet: quotes, inner comma, white space", u"\"my,  \t\nemail!\""_s, email);
    row(Stage::snippet, "snippet: longer prefix wins", u"please insert my email"_s, email);
    row(Stage::snippet, "snippet: spanish prefix and synonyms", u"Por favor escribe mi correo."_s, email);
    row(Stage::snippet, "snippet: trigger stored with spaces", u"Insert my signature."_s, u"Ana\nCEO"_s);
    row(Stage::snippet, "snippet: more words than the trigger", u"send my email"_s, QString());
    row(Stage::snippet, "snippet: nothing said but a prefix", u"Insert."_s, QString());

    row(Stage::dictionary, "whole word", u"chatgpt and gpt"_s, u"chatgpt and GPT"_s, {u"gpt→GPT"_s});
    row(Stage::dictionary, "part of words, any case", u"chatgpt and GPt"_s, u"chatGPT and GPT"_s,
        {u"gpt~GPT"_s});
    row(Stage::dictionary, "pattern and replacement characters are literal",
        u"v1.2 v1x2 (a|b)* ab on c drive"_s, u"version $1.2 v1x2 either ab on C:\\"_s,
        {u"v1.2→version $1.2"_s, u"(a|b)*~either"_s, u"c drive→C:\\"_s});
    row(Stage::dictionary, "whole word ending in punctuation", u"c++ and .net, not asp.net, abc++"_s,
        u"C++ and .NET, not asp.net, abc++"_s, {u"c++→C++"_s, u".net→.NET"_s});
    row(Stage::dictionary, "accents and ñ are word characters", u"reacción, acción; ñandu, nandu."_s,
        u"reacción, Acción; ñandu, ñandú."_s, {u"acción→Acción"_s, u"nandu→ñandú"_s});
    row(Stage::dictionary, "full case folding", u"STRASSE, strasse, \u01C4 \u01C6"_s,
        u"Straße, Straße, X X"_s, {u"straße→Straße"_s, u"\u01C5~X"_s});
    row(Stage::dictionary, "each entry sees the one before", u"new york"_s, u"New YORK City"_s,
        {u"york→YORK"_s, u"new york→New York City"_s});
    row(Stage::dictionary, "correction containing its wrong text", u"js js"_s, u"JS (js) JS (js)"_s,
        {u"js→JS (js)"_s});
    row(Stage::dictionary, "empty wrong text is skipped", u"abc"_s, u"abc"_s, {u"~X"_s});

    row(Stage::fillers, "fillers: english, with commas", u"um, so uh we should go"_s, u"So we should go"_s);
    row(Stage::fillers, "fillers: capitalised filler is a word", u"Um, so we go"_s, u"Um, so we go"_s);
    row(Stage::fillers, "fillers: spanish, comma left at both ends", u"eh, mmm ajá vale, ehm"_s, u"Vale"_s);
    row(Stage::fillers, "fillers: words containing a filler", u"umbrella hum ahem"_s, u"Umbrella hum ahem"_s);
    row(Stage::fillers, "fillers: first letter outside ASCII", u"um ñandú"_s, u"Ñandú"_s);
    row(Stage::fillers, "fillers: only fillers and white space", u" um\t\n uh "_s, QString());

    row(Stage::punctuation, "english comma and period", u"hello comma world period"_s, u"Hello, world."_s);
    row(Stage::punctuation, "spanish longer phrase first", u"hola punto y coma adiós"_s, u"Hola; adiós"_s);
    row(Stage::punctuation, "new line, spaces around it dropped", u"one new line two"_s, u"One\nTwo"_s);
    row(Stage::punctuation, "line break after a sentence mark",
        u"hello comma how are you question mark new line thanks period"_s, u"Hello, how are you?\nThanks."_s);
    row(Stage::punctuation, "spoken quotes", u"he said open quote hi close quote"_s, u"He said\"hi\""_s);
    row(Stage::punctuation, "digit keeps the capital waiting", u"I have 3 apples. 2 are red"_s,
        u"I have 3 apples. 2 Are red"_s);
    row(Stage::punctuation, "runs of marks collapse", u"wait... what?? no!!! ok?!"_s,
        u"Wait. What? No! Ok?!"_s);
    row(Stage::punctuation, "spanish, accents either way",
        u"hola coma qué tal signo de interrogacion nueva línea salto de linea fin"_s,
        u"Hola, qué tal?\n\nFin"_s);
    row(Stage::punctuation, "upper-case commands at the start", u"EXCLAMATION MARK hola Dos Puntos"_s,
        u"! Hola:"_s);
    row(Stage::punctuation, "words containing a command", u"periodic comas colonial puntos enterprise"_s,
        u"Periodic comas colonial puntos enterprise"_s);
    row(Stage::punctuation, "ellipsis does not end a sentence", u"wait ellipsis then tres puntos"_s,
        u"Wait… then…"_s);
    row(Stage::punctuation, "marks inside tokens", u"pay 3.50 at example.com for notes.txt period"_s,
        u"Pay 3.50 at example.com for notes.txt."_s);
    row(Stage::punctuation, "decomposed accent, emoji", u"👍🏽 period e\u0301l vino"_s,
        u"👍🏽. E\u0301l vino"_s);
    row(Stage::punctuation, "white space only", u" \n\t "_s, QString());
}

void tst_TextProcessingService::stages() {
    QFETCH(Stage, stage);
    QFETCH(QStringList, entries);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    // The white-space trigger can never be said, so it must not catch an utterance that normalises to
    // nothing.
    Pipeline pipeline(entries, {{u"my email"_s, u"ana@example.com"_s},
                                {u" My Signature "_s, u"Ana\nCEO"_s},
                                {u"   "_s, u"never"_s}});
    TextProcessingService& service = pipeline.service;
    switch (stage) {
    case Stage::snippet:
        QCOMPARE(service.matchSnippet(input), expected.isEmpty() ? std::nullopt : std::optional(expected));
        break;
    case Stage::dictionary:
        QCOMPARE(service.applyDictionary(input), expected);
        break;
    case Stage::fillers:
        QCOMPARE(service.removeFillers(input), expected);
        break;
    case Stage::punctuation:
        QCOMPARE(service.applyPunctuationCommands(input), expected);
        break;
    }
}

void tst_TextProcessingService::wholePipeline() {
    Pipeline pipeline({u"gpt→GPT"_s}, {{u"my signature"_s, u"Ana.\n"_s}});
    TextProcessingService& service = pipeline.service;
    // A snippet body is final: no clean-up and no chat style.
    QCOMPARE(service.process(u"  Insert my signature.  "_s, u"Slack"_s), u"Ana.\n"_s);
    QCOMPARE(service.process(u"um so i asked chatgpt comma uh then gpt period"_s, std::nullopt),
             u"So i asked chatgpt, then GPT."_s);
    QCOMPARE(service.process(u"sounds good period"_s, u"Slack"_s), u"sounds good"_s);
    const QString typed = service.process(u"e\u0301xito 👍🏽 comma 🇪🇸 period"_s, u"Mail"_s);
    QCOMPARE(typed, u"E\u0301xito 👍🏽, 🇪🇸."_s);
    QCOMPARE(TextMetrics::characterCount(typed), 11);
}

void tst_TextProcessingService::storedChangesAreSeen() {
    QTemporaryDir directory;
    VirtualClock clock;
    const QString path = directory.filePath(u"ptt.sqlite"_s);
    {
        LocalDatabase writer(clock, path);
        QVERIFY(writer.bootstrap().ok() && writer.saveSnippet(u"my phone"_s, u"555-0100"_s).ok());
    }
    // Used before the database is opened, as at start-up: the entries appear once it is open.
    LocalDatabase database(clock, path);
    AppContextService appContext;
    TextProcessingService service(database, appContext);
    QCOMPARE(service.matchSnippet(u"my phone"_s), std::nullopt);
    QVERIFY(database.bootstrap().ok());
    QCOMPARE(service.matchSnippet(u"mi teléfono"_s), std::optional(u"555-0100"_s));

    QCOMPARE(service.applyDictionary(u"chatgpt"_s), u"chatgpt"_s);
    QVERIFY(database.saveDictionaryEntry(u"gpt"_s, u"GPT"_s, false).ok());
    QCOMPARE(service.applyDictionary(u"chatgpt"_s), u"chatGPT"_s);
    QVERIFY(database.deleteDictionaryEntry(database.fetchDictionaryEntries().front().id).ok());
    QCOMPARE(service.applyDictionary(u"gpt"_s), u"gpt"_s);

    QVERIFY(database.deleteSnippet(database.fetchSnippets().front().id).ok());
    QCOMPARE(service.matchSnippet(u"my phone"_s), std::nullopt);
}

void tst_TextProcessingService::randomInputIsSafeAndStable() {
    Pipeline pipeline({u"c++→C++"_s, u"$1~\\1$"_s, u"ó~Ó"_s}, {{u"my email"_s, u"ana@example.com"_s}});
    TextProcessingService& service = pipeline.service;
    const QStringList fragments =
        u"hello|Ñandú|привет|日本語|مرحبا|3.50|period|coma|punto y coma|nueva línea|"
        u"new paragraph|open quote|close paren|um|ajá|eh,|c++|$1|insert|my email| |  |"
        u"\t|\n|\r\n|\u00a0|\u2003|.|,|!|?|…|'|\"|(|)|[|}|👍🏽|👨‍👩‍👧|🇪🇸|\u0301|e\u0301|ß"_s
            .split(u'|');
    QRandomGenerator random(20260115);
    for (int sample = 0; sample < 3000; ++sample) {
        QByteArray bytes;
        for (int piece = random.bounded(1, 24); piece > 0; --piece) {
            // One piece in eight is a stray byte: invalid UTF-8.
            bytes += random.bounded(8) == 0 ? QByteArray(1, char(random.bounded(0x80, 0x100)))
                                            : fragments.at(random.bounded(fragments.size())).toUtf8();
            bytes += random.bounded(2) ? " " : "";
        }
        const QString input = QString::fromUtf8(bytes);
        const QString typed = service.process(input, u"Slack"_s);
        QVERIFY2(QString::fromUtf8(typed.toUtf8()) == typed, bytes.toHex().constData());

        const QString punctuated = service.applyPunctuationCommands(input);
        QVERIFY2(service.applyPunctuationCommands(punctuated) == punctuated, qPrintable(input));
    }
}

void tst_TextProcessingService::counts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("words");
    QTest::addColumn<qint64>("characters");
    QTest::newRow("white space only") << u" \t\n\u00a0\u2003"_s << qint64(0) << qint64(5);
    QTest::newRow("emoji with skin tone, combining accent")
        << u"👍🏽 e\u0301"_s << qint64(2) << qint64(3);
    QTest::newRow("flag and family") << u"🇪🇸👨‍👩‍👧"_s << qint64(1) << qint64(2);
    QTest::newRow("CRLF is one character") << u"a\r\nb"_s << qint64(2) << qint64(3);
}

void tst_TextProcessingService::counts() {
    QFETCH(QString, text);
    QFETCH(qint64, words);
    QFETCH(qint64, characters);
    QCOMPARE(TextMetrics::wordCount(text), words);
    QCOMPARE(TextMetrics::characterCount(text), characters);
}

QTEST_GUILESS_MAIN(tst_TextProcessingService)
#include "tst_TextProcessingService.moc"
