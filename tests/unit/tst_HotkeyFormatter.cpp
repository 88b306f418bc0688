#include "hotkey/HotkeyFormatter.h"
#include "hotkey/KeyCodes.h"

#include <QSet>
#include <QTest>

class tst_HotkeyFormatter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void display_data();
    void display();
    void keyTable();
};

void tst_HotkeyFormatter::display_data() {
    QTest::addColumn<qint64>("keyCode");
    QTest::addColumn<quint64>("modifiers");
    QTest::addColumn<QString>("expected");

    using namespace ModifierFlags;
    QTest::newRow("control option space") << qint64(49) << quint64(0xC0000) << QStringLiteral("⌃⌥ Space");
    QTest::newRow("fn alone") << qint64(63) << quint64(0) << QStringLiteral("Fn");
    QTest::newRow("caps lock alone") << qint64(57) << quint64(0) << QStringLiteral("Caps Lock");
    QTest::newRow("command K") << qint64(40) << quint64(0x100000) << QStringLiteral("⌘ K");
    QTest::newRow("F5") << qint64(96) << quint64(0) << QStringLiteral("F5");
    QTest::newRow("unnamed key") << qint64(110) << quint64(0) << QStringLiteral("Key 110");
    QTest::newRow("shift command unnamed key")
        << qint64(110) << quint64(shift | command) << QStringLiteral("⇧⌘ Key 110");
    QTest::newRow("all four in display order")
        << qint64(0) << quint64(command | shift | option | control) << QStringLiteral("⌃⌥⇧⌘ A");
    QTest::newRow("other flag bits show nothing")
        << qint64(42) << quint64(capsLock | function | 0x1) << QStringLiteral("\\");
    QTest::newRow("digits are not in code order") << qint64(22) << quint64(option) << QStringLiteral("⌥ 6");
    QTest::newRow("negative code") << qint64(-1) << quint64(0) << QStringLiteral("Key -1");
}

void tst_HotkeyFormatter::display() {
    QFETCH(qint64, keyCode);
    QFETCH(quint64, modifiers);
    QFETCH(QString, expected);
    QCOMPARE(HotkeyFormatter::display(HotkeyBinding{keyCode, modifiers, GestureMode::pushToTalk}), expected);
}

void tst_HotkeyFormatter::keyTable() {
    QSet<QString> labels;
    int named = 0;
    for (qint64 code = 0; code < 512; ++code) {
        if (const auto name = HotkeyFormatter::keyName(code)) {
            ++named;
            labels.insert(*name);
        }
    }
    QCOMPARE(named, 74);
    QCOMPARE(labels.size(), 74);
    // Modifier keys, the keypad, navigation keys, F17 and the ISO section key have no label.
    for (const qint64 code : {54, 55, 56, 58, 59, 60, 61, 62, 65, 82, 115, 116, 117, 119, 121, 64, 10}) {
        QVERIFY2(!HotkeyFormatter::keyName(code), qPrintable(QString::number(code)));
    }
}

QTEST_GUILESS_MAIN(tst_HotkeyFormatter)
#include "tst_HotkeyFormatter.moc"
