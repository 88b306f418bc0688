#include "KeyEventText.h"
#include "core/hotkey/KeyCodes.h"
#include "platform/linux/input/EventTimeMapper.h"
#include "platform/linux/input/KeyEventTranslator.h"
#include "platform/linux/input/LinuxKeyTable.h"
#include "platform/linux/input/SyntheticKeyLedger.h"

#include <QTest>

#include <linux/input-event-codes.h>

namespace {

struct Step {
    int evdev;
    bool press;
};

} // namespace

class tst_LinuxInput : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void translatesPressSequences_data();
    void translatesPressSequences();
    void everySystemCodeHasOneKeyToType();
    void mapsServerTimesOntoTheLocalClock_data();
    void mapsServerTimesOntoTheLocalClock();
    void theLedgerForgetsWhatNeverCameBack();
};

void tst_LinuxInput::translatesPressSequences_data() {
    QTest::addColumn<QList<Step>>("steps");
    QTest::addColumn<QStringList>("events");

    QTest::newRow("held key repeats, modifiers do not")
        << QList<Step>{{KEY_LEFTSHIFT, true}, {KEY_LEFTSHIFT, true}, {KEY_A, true},
                       {KEY_A, true},         {KEY_A, false},        {KEY_LEFTSHIFT, false}}
        << QStringList{"flags 56 0x20000 press", "-",
                       "down 0 0x20000",         "down 0 0x20000 repeat",
                       "up 0 0x20000",           "flags 56 0x0 release"};
    QTest::newRow("both shifts: shift stays until the last is up")
        << QList<Step>{{KEY_LEFTSHIFT, true},
                       {KEY_RIGHTSHIFT, true},
                       {KEY_LEFTSHIFT, false},
                       {KEY_RIGHTSHIFT, false}}
        << QStringList{"flags 56 0x20000 press", "flags 60 0x20000 press", "flags 56 0x20000 release",
                       "flags 60 0x0 release"};
    // Right Control as fn is seen on the real server; the fn key itself only here.
    QTest::newRow("KEY_FN is fn") << QList<Step>{{LinuxKeyTable::functionKey, true},
                                                 {KEY_F14, true},
                                                 {KEY_F14, false},
                                                 {LinuxKeyTable::functionKey, false}}
                                  << QStringList{"flags 63 0x800000 press", "down 107 0x800000",
                                                 "up 107 0x800000", "flags 63 0x0 release"};
    QTest::newRow("keys without a system code are not reported")
        << QList<Step>{{KEY_COMPOSE, true}, {600, true}, {-1, true}} << QStringList{"-", "-", "-"};
    QTest::newRow("a release without its press still counts")
        << QList<Step>{{KEY_LEFTALT, false}, {KEY_ESC, false}}
        << QStringList{"flags 58 0x0 release", "up 53 0x0"};
}

void tst_LinuxInput::translatesPressSequences() {
    QFETCH(QList<Step>, steps);
    QFETCH(QStringList, events);
    KeyEventTranslator translator;
    QStringList actual;
    double time = 0;
    for (const Step& step : steps) {
        time += 0.01;
        const std::optional<KeyEvent> event = translator.translate(step.evdev, step.press, time);
        actual << keyEventText(event);
        if (event) {
            QCOMPARE(event->timestamp, time);
        }
    }
    QCOMPARE(actual, events);
}

void tst_LinuxInput::everySystemCodeHasOneKeyToType() {
    // What the synthesiser posts must come back as the same code.
    for (qint64 code = 0; code < 128; ++code) {
        const std::optional<int> evdev = LinuxKeyTable::evdevCode(code);
        if (evdev) {
            QCOMPARE(LinuxKeyTable::systemKeyCode(*evdev), std::optional<qint64>(code));
        }
    }
    QCOMPARE(LinuxKeyTable::evdevCode(KeyCodes::function),
             std::optional<int>(LinuxKeyTable::rightControlAsFunction));
    QCOMPARE(LinuxKeyTable::evdevCode(KeyCodes::v), std::optional<int>(KEY_V));
    QCOMPARE(LinuxKeyTable::evdevCode(200), std::nullopt);
}

void tst_LinuxInput::mapsServerTimesOntoTheLocalClock_data() {
    QTest::addColumn<bool>("calibrated");
    QTest::addColumn<QList<quint32>>("serverTimes");
    QTest::addColumn<QList<double>>("readAt");
    QTest::addColumn<QList<double>>("stamps");

    // Three events read together 0.5 s late, after a calibration: they keep their spacing.
    QTest::newRow("a late burst") << true << QList<quint32>{1000, 1150, 1200}
                                  << QList<double>{10.5, 10.5, 10.5} << QList<double>{10.0, 10.15, 10.2};
    // Without a calibration the first reading sets the offset; a quicker one later corrects it,
    // and no stamp ever goes backwards or ahead of the moment it was read.
    QTest::newRow("offset learnt from the readings")
        << false << QList<quint32>{1000, 1100, 1200, 1210} << QList<double>{10.3, 10.32, 10.42, 10.6}
        << QList<double>{10.3, 10.32, 10.42, 10.43};
    QTest::newRow("the server clock wraps") << true << QList<quint32>{0xFFFFFF00u, 0x00000064u}
                                            << QList<double>{5.0, 5.5} << QList<double>{5.0, 5.356};
}

void tst_LinuxInput::mapsServerTimesOntoTheLocalClock() {
    QFETCH(bool, calibrated);
    QFETCH(QList<quint32>, serverTimes);
    QFETCH(QList<double>, readAt);
    QFETCH(QList<double>, stamps);
    EventTimeMapper mapper;
    if (calibrated) {
        mapper.calibrate(serverTimes.front(), stamps.front());
    }
    for (qsizetype index = 0; index < serverTimes.size(); ++index) {
        QCOMPARE(qRound(mapper.map(serverTimes[index], readAt[index]) * 1000), qRound(stamps[index] * 1000));
    }
}

void tst_LinuxInput::theLedgerForgetsWhatNeverCameBack() {
    SyntheticKeyLedger ledger;
    ledger.record(37, true, 1.0);
    ledger.record(55, true, 1.0);
    ledger.record(55, false, 1.0);
    // Only the exact key and direction are ours, each once.
    QVERIFY(!ledger.consume(37, false, 1.1));
    QVERIFY(ledger.consume(37, true, 1.1));
    QVERIFY(!ledger.consume(37, true, 1.1));
    QVERIFY(ledger.consume(55, true, 1.2));
    // What nobody heard does not swallow a real press seconds later.
    QVERIFY(!ledger.consume(55, false, 1.0 + SyntheticKeyLedger::lifetimeSeconds + 0.1));
    QVERIFY(ledger.isEmpty());
    // It stays small when nothing listens.
    for (int index = 0; index < 10000; ++index) {
        ledger.record(38, true, 5.0);
    }
    int consumed = 0;
    while (ledger.consume(38, true, 5.0)) {
        ++consumed;
    }
    QCOMPARE_LE(consumed, 256);
}

QTEST_GUILESS_MAIN(tst_LinuxInput)
#include "tst_LinuxInput.moc"
