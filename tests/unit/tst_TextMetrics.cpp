#include "text/TextMetrics.h"

#include <QTest>

class tst_TextMetrics : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void textCounts_data();
    void textCounts();
};

void tst_TextMetrics::textCounts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("words");
    QTest::addColumn<qint64>("characters");
    QTest::newRow("empty") << QString() << qint64(0) << qint64(0);
    QTest::newRow("white space only") << QStringLiteral(" \t\n\u00a0\u2003") << qint64(0) << qint64(5);
    QTest::newRow("runs of spaces and line breaks")
        << QStringLiteral("  one\n\ntwo  three ") << qint64(3) << qint64(18);
    QTest::newRow("emoji with skin tone, combining accent")
        << QStringLiteral("👍🏽 e\u0301") << qint64(2) << qint64(3);
    QTest::newRow("flag and family") << QStringLiteral("🇪🇸👨‍👩‍👧") << qint64(1)
                                     << qint64(2);
    QTest::newRow("CRLF is one character") << QStringLiteral("a\r\nb") << qint64(2) << qint64(3);
}

void tst_TextMetrics::textCounts() {
    QFETCH(QString, text);
    QFETCH(qint64, words);
    QCOMPARE(TextMetrics::wordCount(text), words);
    QFETCH(qint64, characters);
    QCOMPARE(TextMetrics::characterCount(text), characters);
}

QTEST_GUILESS_MAIN(tst_TextMetrics)
#include "tst_TextMetrics.moc"
