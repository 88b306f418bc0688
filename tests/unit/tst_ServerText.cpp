#include "server/http/HeaderText.h"
#include "server/http/RequestLog.h"
#include "server/prompts/BacktrackGuard.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

// The small text rules of the service: which header values pass, what a log line may show, and
// when a backtrack answer is replaced by the plain append.
class tst_ServerText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void headerValues_data();
    void headerValues();
    void logLineShowsOnlyPrintablePath();
    void backtrackGuard_data();
    void backtrackGuard();
};

void tst_ServerText::headerValues_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("problem"); // empty: accepted
    QTest::newRow("accents and emoji") << QByteArray("ñandú, café, 👍🏽") << QString();
    QTest::newRow("NUL") << QByteArray("a\0b", 3) << u"control character"_s;
    QTest::newRow("DEL") << QByteArray("a\x7f") << u"control character"_s;
    QTest::newRow("NEL, a C1 control") << QByteArray("a\xc2\x85") << u"control character"_s;
    QTest::newRow("Latin-1 byte: a sequence cut short") << QByteArray("caf\xe9") << u"not UTF-8"_s;
    QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << u"not UTF-8"_s;
    QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << u"not UTF-8"_s;
    QTest::newRow("beyond U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << u"not UTF-8"_s;
}

void tst_ServerText::headerValues() {
    QFETCH(QByteArray, value);
    QFETCH(QString, problem);
    const auto found = HeaderText::problem(std::string_view(value.constData(), std::size_t(value.size())));
    QCOMPARE(found.has_value(), !problem.isEmpty());
    if (found) {
        QVERIFY(QString::fromStdString(*found).contains(problem));
    }
}

void tst_ServerText::logLineShowsOnlyPrintablePath() {
    const std::string line =
        RequestLog::line("POST", "/v1/ptt/\x1b[31mred\n" + std::string(300, 'a'), 404, 10, 20, 1.5);
    QVERIFY(line.find('\x1b') == std::string::npos);
    QVERIFY(line.find('\n') == std::string::npos);
    QVERIFY(line.find("/v1/ptt/?[31mred?aaa") != std::string::npos);
    QVERIFY(line.find("... 404 in=10 out=20 1.5ms") != std::string::npos);
    QVERIFY(line.size() < 200);
}

void tst_ServerText::backtrackGuard_data() {
    QTest::addColumn<QString>("previous");
    QTest::addColumn<QString>("dictation");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("expected");
    QTest::newRow("case and punctuation do not count as losses")
        << u"Send it to Ana, Bob and Carla today."_s << u"no, tomorrow"_s
        << u"send it to ana bob and carla tomorrow"_s << u"send it to ana bob and carla tomorrow"_s;
    QTest::newRow("accented words are words")
        << u"Nos vemos el lunes en la oficina."_s << u"perdón, el martes"_s
        << u"Nos vemos el martes en la oficina."_s << u"Nos vemos el martes en la oficina."_s;
    QTest::newRow("a repeated word counts once per use")
        << u"the cat and the dog and the bird"_s << u"actually the fish"_s << u"the the the fish"_s
        << u"the cat and the dog and the bird actually the fish"_s;
    QTest::newRow("an empty answer") << u"one two three four"_s << u"wait, five"_s << QString()
                                     << u"one two three four wait, five"_s;
    QTest::newRow("too short to judge") << u"at nine"_s << u"no, at ten"_s << u"at ten"_s << u"at ten"_s;
}

void tst_ServerText::backtrackGuard() {
    QFETCH(QString, previous);
    QFETCH(QString, dictation);
    QFETCH(QString, answer);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(BacktrackGuard::protect(previous.toStdString(), dictation.toStdString(),
                                                            answer.toStdString())),
             expected);
}

QTEST_GUILESS_MAIN(tst_ServerText)
#include "tst_ServerText.moc"
