#include "core/hotkey/KeyCodes.h"
#include "platform/linux/uinput/UinputKeySynthesizer.h"

#include <QTest>

#include <fcntl.h>
#include <linux/input.h>
#include <unistd.h>

namespace {

struct Key {
    int code;
    int value;
};

// What the kernel must receive: each key event, then a report, no times.
QByteArray expectedBytes(const QList<Key>& keys) {
    QByteArray bytes;
    for (const Key& key : keys) {
        for (const input_event& event : {input_event{{}, EV_KEY, quint16(key.code), key.value},
                                         input_event{{}, EV_SYN, SYN_REPORT, 0}}) {
            bytes.append(reinterpret_cast<const char*>(&event), sizeof event);
        }
    }
    return bytes;
}

} // namespace

class tst_UinputKeySynthesizer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void writesTheChord_data();
    void writesTheChord();
};

void tst_UinputKeySynthesizer::writesTheChord_data() {
    QTest::addColumn<int>("keyCode");
    QTest::addColumn<quint64>("flags");
    QTest::addColumn<QList<Key>>("keys"); // empty: refused, nothing written

    QTest::newRow("Control+V") << int(KeyCodes::v) << quint64(ModifierFlags::control)
                               << QList<Key>{{KEY_LEFTCTRL, 1}, {KEY_V, 1}, {KEY_V, 0}, {KEY_LEFTCTRL, 0}};
    QTest::newRow("every modifier: Super pressed last, released first")
        << int(KeyCodes::insert)
        << quint64(ModifierFlags::shift | ModifierFlags::command | ModifierFlags::option |
                   ModifierFlags::control)
        << QList<Key>{{KEY_LEFTCTRL, 1}, {KEY_LEFTALT, 1}, {KEY_LEFTSHIFT, 1}, {KEY_LEFTMETA, 1},
                      {KEY_INSERT, 1},   {KEY_INSERT, 0},  {KEY_LEFTMETA, 0},  {KEY_LEFTSHIFT, 0},
                      {KEY_LEFTALT, 0},  {KEY_LEFTCTRL, 0}};
    QTest::newRow("Caps Lock and fn in the flags are states, not keys")
        << int(KeyCodes::capsLock) << quint64(ModifierFlags::capsLock | ModifierFlags::function)
        << QList<Key>{{KEY_CAPSLOCK, 1}, {KEY_CAPSLOCK, 0}};
    QTest::newRow("a code no key types is refused")
        << 0xFF << quint64(ModifierFlags::control) << QList<Key>{};
}

void tst_UinputKeySynthesizer::writesTheChord() {
    QFETCH(int, keyCode);
    QFETCH(quint64, flags);
    QFETCH(QList<Key>, keys);

    int ends[2];
    QCOMPARE(::pipe2(ends, O_CLOEXEC | O_NONBLOCK), 0);
    const UniqueFd reader(ends[0]);
    UinputKeySynthesizer synthesizer{UniqueFd(ends[1])};
    QVERIFY(synthesizer.isAvailable());

    const Result<void> tapped = synthesizer.tapKey(quint16(keyCode), flags);
    QByteArray written(4096, '\0');
    const ssize_t count = ::read(reader.get(), written.data(), size_t(written.size()));
    written.resize(count < 0 ? 0 : count);
    QCOMPARE(written.toHex(), expectedBytes(keys).toHex());
    QCOMPARE(tapped.ok(), !keys.isEmpty());
    if (!tapped) {
        QVERIFY2(tapped.error().description.startsWith(QLatin1String("Cannot type keys: ")),
                 qPrintable(tapped.error().description));
    }
}

QTEST_MAIN(tst_UinputKeySynthesizer)
#include "tst_UinputKeySynthesizer.moc"
