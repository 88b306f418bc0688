#include "core/hotkey/HotkeyFormatter.h"
#include "core/hotkey/KeyCodes.h"

#include <QSet>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class tst_HotkeyFormatter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void display();
    void keyTable();
};

void tst_HotkeyFormatter::display() {
    using namespace ModifierFlags;
    const auto shown = [](qint64 keyCode, quint64 modifiers) {
        return HotkeyFormatter::display(HotkeyBinding{keyCode, modifiers, GestureMode::pushToTalk});
    };
    QCOMPARE(shown(49, 0xC0000), u"⌃⌥ Space"_s);
    QCOMPARE(shown(63, 0), u"Fn"_s);
    QCOMPARE(shown(96, 0), u"F5"_s);
    QCOMPARE(shown(110, shift | command), u"⇧⌘ Key 110"_s);
    QCOMPARE(shown(0, command | shift | option | control), u"⌃⌥⇧⌘ A"_s);
    // Caps Lock, fn and unknown bits have no symbol.
    QCOMPARE(shown(42, capsLock | function | 0x1), u"\\"_s);
}

void tst_HotkeyFormatter::keyTable() {
    QSet<QString> labels;
    int named = 0;
    for (qint64 code = -1; code < 512; ++code) {
        if (const auto name = HotkeyFormatter::keyName(code)) {
            labels.insert(*name);
            ++named;
        }
    }
    QCOMPARE(named, 74);
    QCOMPARE(labels.size(), 74); // no two keys share a label
}

QTEST_GUILESS_MAIN(tst_HotkeyFormatter)
#include "tst_HotkeyFormatter.moc"
