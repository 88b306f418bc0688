#include "RecordingKeySynthesizer.h"
#include "ScriptedKeyEventSource.h"
#include "VirtualScheduler.h"
#include "hotkey/HotkeyMonitor.h"
#include "hotkey/KeyCodes.h"

#include <QTest>

namespace {

constexpr qint64 space = 49;
constexpr qint64 command = 55;
constexpr quint64 controlOption = ModifierFlags::control | ModifierFlags::option;

QString signalName(HotkeySignal signal) {
    static const char* const names[] = {"ready",     "keyDown", "keyUp",   "toggleOn",
                                        "toggleOff", "cancel",  "reEnable"};
    return QString::fromLatin1(names[int(signal)]);
}

// A monitor on fakes, with every signal logged as "name@time".
struct Rig {
    explicit Rig(HotkeyBinding binding)
        : monitor(binding, keys, synthesizer, scheduler) {
        monitor.setOnSignal([this](HotkeySignal signal) {
            emitted << signalName(signal) + QLatin1Char('@') + QString::number(scheduler.now(), 'g', 6);
        });
    }

    QStringList names() const {
        QStringList result;
        for (const QString& entry : emitted) {
            result << entry.section(QLatin1Char('@'), 0, 0);
        }
        return result;
    }

    VirtualScheduler scheduler;
    ScriptedKeyEventSource keys;
    RecordingKeySynthesizer synthesizer;
    HotkeyMonitor monitor;
    QStringList emitted;
};

KeyEvent keyEvent(KeyEvent::Type type, qint64 keyCode, quint64 flags, double time) {
    KeyEvent event;
    event.type = type;
    event.keyCode = keyCode;
    event.flags = flags;
    event.timestamp = time;
    return event;
}

// Runs steps "time:action" against the rig. Actions on the bound key: down, up, repeat (with the
// binding's modifiers, or "=FLAGS" to give others), press/release (flags-changed with the key's
// direction), press?/release? (flags-changed with no direction). Others: esc, cmd, tick (only lets
// time pass), stop, start.
void runScript(Rig& rig, const QString& script) {
    const HotkeyBinding binding = rig.monitor.binding();
    for (const QString& step : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const double time = step.section(QLatin1Char(':'), 0, 0).toDouble();
        QString action = step.section(QLatin1Char(':'), 1);
        quint64 flags = binding.modifiersRawValue;
        if (action.contains(QLatin1Char('='))) {
            bool parsed = false;
            flags = action.section(QLatin1Char('='), 1).toULongLong(&parsed, 0);
            QVERIFY2(parsed, qPrintable(step));
            action = action.section(QLatin1Char('='), 0, 0);
        }
        rig.scheduler.advance(time - rig.scheduler.now());
        const double now = rig.scheduler.now();
        KeyEvent event;
        if (action == QLatin1String("down") || action == QLatin1String("repeat")) {
            event = keyEvent(KeyEvent::Type::keyDown, binding.keyCode, flags, now);
            event.isRepeat = action == QLatin1String("repeat");
        } else if (action == QLatin1String("up")) {
            event = keyEvent(KeyEvent::Type::keyUp, binding.keyCode, flags, now);
        } else if (action.startsWith(QLatin1String("press")) || action.startsWith(QLatin1String("release"))) {
            const bool press = action.startsWith(QLatin1String("press"));
            const quint64 keyFlag =
                binding.keyCode == KeyCodes::function ? ModifierFlags::function : ModifierFlags::capsLock;
            event = keyEvent(KeyEvent::Type::flagsChanged, binding.keyCode, press ? keyFlag : 0, now);
            if (!action.endsWith(QLatin1Char('?'))) {
                event.isPress = press;
            }
        } else if (action == QLatin1String("esc")) {
            event = keyEvent(KeyEvent::Type::keyDown, KeyCodes::escape, 0, now);
        } else if (action == QLatin1String("cmd")) {
            event = keyEvent(KeyEvent::Type::flagsChanged, command, ModifierFlags::command, now);
            event.isPress = true;
        } else if (action == QLatin1String("tick")) {
            continue;
        } else if (action == QLatin1String("stop")) {
            rig.monitor.stop();
            continue;
        } else if (action == QLatin1String("start")) {
            rig.monitor.start();
            continue;
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
        }
        rig.keys.deliver(event);
    }
}

} // namespace

class tst_HotkeyMonitor : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void gestures_data();
    void gestures();
    void lifecycle();
    void droppedFeedIsReEnabled();
    void eventsReadLateKeepTheirTimes();
};

void tst_HotkeyMonitor::gestures_data() {
    QTest::addColumn<qint64>("keyCode");
    QTest::addColumn<quint64>("modifiers");
    QTest::addColumn<QString>("script");
    // Signals in order; "@t" also checks when one came.
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("capsLockUndos");

    auto chord = [](const char* name, const char* script, const char* expected) {
        QTest::newRow(name) << space << controlOption << QString::fromLatin1(script)
                            << QString::fromLatin1(expected) << 0;
    };
    chord("hold", "0.5:down 0.7:up", "keyDown@0.5 keyUp@0.7");
    chord("hold from the clock's origin", "0.1:down 0.3:up", "keyDown keyUp");
    chord("auto-repeat while held", "1:down 1.3:repeat 1.35:repeat 1.6:up", "keyDown keyUp");
    chord("tap of 0.05 s", "1:down 1.05:up", "keyDown cancel");
    chord("hold of exactly 0.1 s", "1:down 1.1:up", "keyDown keyUp");
    chord("hold of 0.099 s", "1:down 1.099:up", "keyDown cancel");
    chord("double tap latches, its release keeps recording", "1:down 1.05:up 1.35:down 1.45:up",
          "keyDown cancel toggleOn@1.35");
    chord("second press exactly 0.4 s after the tap", "1:down 1.05:up 1.45:down", "keyDown cancel toggleOn");
    chord("second press 0.41 s after the tap", "1:down 1.05:up 1.46:down 1.7:up",
          "keyDown cancel keyDown keyUp");
    chord("latched, releases 0.25 s apart end it",
          "1:down 1.05:up 1.2:down 1.3:up 3:down 3.05:up 3.2:down 3.3:up",
          "keyDown cancel toggleOn toggleOff@3.3");
    chord("latched, releases exactly 0.4 s apart end it",
          "1:down 1.05:up 1.2:down 1.3:up 3:down 3.05:up 3.4:down 3.45:up",
          "keyDown cancel toggleOn toggleOff@3.45");
    chord("latched, releases 0.41 s apart keep it",
          "1:down 1.05:up 1.2:down 1.3:up 3:down 3.05:up 3.4:down 3.46:up", "keyDown cancel toggleOn");
    chord("press soon after a proper hold is a new hold", "1:down 1.2:up 1.3:down 1.5:up",
          "keyDown keyUp keyDown keyUp");
    chord("modifiers missing", "1:down=0 1.2:up=0", "");
    chord("an extra modifier", "1:down=0xE0000 1.2:up=0xE0000", "");
    chord("Caps Lock on still matches", "1:down=0xD0000 1.2:up=0xD0000", "keyDown keyUp");
    chord("modifier let go before the key", "1:down 1.3:up=0x40000", "keyDown keyUp");
    chord("all modifiers let go before the key of a tap", "1:down 1.05:up=0", "keyDown cancel");
    chord("plain key typed just before the hotkey", "1:down=0 1.05:up=0 1.2:down 1.5:up", "keyDown keyUp");
    chord("plain key typed twice while latched",
          "1:down 1.05:up 1.2:down 1.3:up 2:down=0 2.05:up=0 2.2:down=0 2.25:up=0",
          "keyDown cancel toggleOn");
    chord("Escape while holding", "1:down 1.2:esc 1.4:up", "keyDown cancel@1.2");
    chord("Escape while latched", "1:down 1.05:up 1.2:down 1.3:up 2:esc", "keyDown cancel toggleOn cancel@2");
    chord("Escape while idle", "1:esc", "");
    chord("Command alone", "1:cmd 1.2:cmd", "");
    chord("stop while held forgets the press", "1:down 1.2:stop 1.3:start 1.5:up 2.5:down 2.7:up",
          "keyDown keyDown@2.5 keyUp");

    auto fn = [](const char* name, const char* script, const char* expected) {
        QTest::newRow(name) << KeyCodes::function << quint64(0) << QString::fromLatin1(script)
                            << QString::fromLatin1(expected) << 0;
    };
    fn("fn held 0.1 s", "1:press 1.1:release", "keyDown cancel");
    fn("fn held 0.2 s", "1:press 1.2:release", "keyDown keyUp@1.2");
    fn("fn held exactly 0.15 s", "1:press 1.15:release", "keyDown keyUp");
    fn("fn pressed again 0.3 s after release", "1:press 1.2:release 1.5:press 1.7:release", "keyDown keyUp");
    fn("fn pressed again exactly 0.5 s after release", "1:press 1.2:release 1.7:press 1.9:release",
       "keyDown keyUp keyDown@1.7 keyUp");
    fn("fn double tap never latches", "1:press 1.05:release 1.3:press 1.4:release 1.8:press 2:release",
       "keyDown cancel keyDown@1.8 keyUp");
    fn("fn direction from the flags", "1:press? 1.2:release?", "keyDown keyUp");
    fn("fn delivered as key events", "1:down 1.2:up 1.3:esc", "keyDown keyUp");
    fn("stop with fn held", "1:press 1.2:stop 1.3:start 1.4:release 2:press 2.3:release",
       "keyDown keyDown@2 keyUp@2.3");

    auto caps = [](const char* name, const char* script, const char* expected, int undos) {
        QTest::newRow(name) << KeyCodes::capsLock << quint64(0) << QString::fromLatin1(script)
                            << QString::fromLatin1(expected) << undos;
    };
    caps("Caps Lock tapped", "1:press 1.2:release 2:tick", "", 0);
    caps("Caps Lock held 1 s", "1:press 2:release", "keyDown@1.3 keyUp@2", 1);
    caps("Caps Lock released just before activation", "1:press 1.29:release 2:tick", "", 0);
    caps("Caps Lock release seen first", "1:release 1.7:press 2.5:release", "keyDown@2 keyUp@2.5", 1);
    caps("Caps Lock without direction alternates", "1:press? 2:release?", "keyDown@1.3 keyUp@2", 1);
    caps("Caps Lock pressed again inside the guard", "1:press 2:release 2.3:press 3:release",
         "keyDown@1.3 keyUp@2", 1);
    caps("Escape while Caps Lock is active", "1:press 1.5:esc 2:release", "keyDown@1.3 cancel@1.5 keyUp@2",
         1);
    caps("stop while the activation is pending", "1:press 1.1:stop 1.2:start 1.4:press 2:release",
         "keyDown@1.7 keyUp@2", 1);

    auto f14 = [](const char* name, const char* script, const char* expected) {
        QTest::newRow(name) << KeyCodes::f14 << quint64(0) << QString::fromLatin1(script)
                            << QString::fromLatin1(expected) << 0;
    };
    f14("F14 hold reaches the owner once", "1:down 1.2:up", "keyDown keyUp");
    f14("F14 hold of 0.12 s", "1:down 1.12:up", "keyDown cancel");
    f14("F14 auto-repeat", "1:down 1.3:repeat 1.5:up", "keyDown keyUp");
    f14("F14 double tap never latches", "1:down 1.05:up 1.3:down 1.4:up", "keyDown cancel");
}

void tst_HotkeyMonitor::gestures() {
    QFETCH(qint64, keyCode);
    QFETCH(quint64, modifiers);
    QFETCH(QString, script);
    QFETCH(QString, expected);
    QFETCH(int, capsLockUndos);

    Rig rig(HotkeyBinding{keyCode, modifiers, GestureMode::pushToTalk});
    rig.monitor.start();
    QVERIFY(rig.monitor.isRunning());
    rig.emitted.clear();
    runScript(rig, script);
    rig.emitted.removeIf([](const QString& entry) { return entry.startsWith(QLatin1String("ready@")); });

    const QStringList wanted = expected.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QStringList got;
    for (qsizetype index = 0; index < rig.emitted.size(); ++index) {
        const bool timed = index < wanted.size() && wanted[index].contains(QLatin1Char('@'));
        got << (timed ? rig.emitted[index] : rig.emitted[index].section(QLatin1Char('@'), 0, 0));
    }
    QCOMPARE(got, wanted);

    const QList<RecordingKeySynthesizer::Tap> undo(capsLockUndos, {quint16(KeyCodes::capsLock), 0});
    QCOMPARE(rig.synthesizer.taps(), undo);
}

void tst_HotkeyMonitor::lifecycle() {
    {
        Rig rig(HotkeyBinding{space, controlOption, GestureMode::pushToTalk});
        rig.monitor.stop(); // stopped already: nothing happens
        rig.monitor.start();
        rig.monitor.start(); // running already: nothing happens
        QCOMPARE(rig.names(), QStringList{"ready"});
        QCOMPARE(rig.keys.startCount(), 1);
        rig.monitor.stop();
        rig.monitor.stop();
        QVERIFY(!rig.monitor.isRunning());
        QVERIFY(!rig.keys.isListening());
        QCOMPARE(rig.scheduler.pendingCount(), std::size_t(0)); // the watchdog went with it
    }
    {
        // Both listeners of a special key announce themselves.
        Rig rig(HotkeyBinding{KeyCodes::function, 0, GestureMode::pushToTalk});
        rig.monitor.start();
        QCOMPARE(rig.names(), QStringList({"ready", "ready"}));
    }
    {
        // Without a key feed nothing runs and nothing is announced; a later start tries again.
        Rig rig(HotkeyBinding{KeyCodes::function, 0, GestureMode::pushToTalk});
        rig.keys.setStartSucceeds(false);
        rig.monitor.start();
        QVERIFY(!rig.monitor.isRunning());
        QVERIFY(rig.emitted.isEmpty());
        QCOMPARE(rig.scheduler.pendingCount(), std::size_t(0));
        rig.keys.setStartSucceeds(true);
        rig.monitor.start();
        QVERIFY(rig.monitor.isRunning());
        QCOMPARE(rig.keys.startCount(), 2);
    }
    {
        // A binding change takes effect for ordinary keys at once; the owner restarts for the rest.
        Rig rig(HotkeyBinding{space, controlOption, GestureMode::pushToTalk});
        rig.monitor.start();
        rig.monitor.setBinding(HotkeyBinding{space, ModifierFlags::shift, GestureMode::toggle});
        rig.emitted.clear();
        runScript(rig, QStringLiteral("1:down=0x20000 1.2:up=0x20000"));
        QCOMPARE(rig.names(), QStringList({"keyDown", "keyUp"}));
    }
    {
        ScriptedKeyEventSource keys;
        RecordingKeySynthesizer synthesizer;
        VirtualScheduler scheduler;
        {
            HotkeyMonitor monitor(HotkeyBinding{}, keys, synthesizer, scheduler);
            monitor.start();
            QVERIFY(keys.isListening());
        }
        QVERIFY(!keys.isListening()); // destroying a running monitor stops it
        QCOMPARE(scheduler.pendingCount(), std::size_t(0));
    }
}

void tst_HotkeyMonitor::droppedFeedIsReEnabled() {
    Rig rig(HotkeyBinding{space, controlOption, GestureMode::pushToTalk});
    rig.monitor.start();
    rig.emitted.clear();

    rig.scheduler.advance(5);
    rig.keys.drop(true);
    QCOMPARE(rig.emitted, QStringList{"reEnable@5"});

    // Dropped quietly: the watchdog finds it at the next 30 s mark, once.
    rig.keys.drop(false);
    rig.scheduler.advance(24.9);
    QCOMPARE(rig.emitted.size(), 1);
    rig.scheduler.advance(0.1);
    QCOMPARE(rig.emitted, QStringList({"reEnable@5", "reEnable@30"}));
    rig.scheduler.advance(60);
    QCOMPARE(rig.emitted.size(), 2);

    // A feed that cannot be brought back is not reported as re-enabled; the watchdog keeps trying.
    rig.keys.setEnableSucceeds(false);
    rig.keys.drop(true);
    rig.scheduler.advance(30);
    QCOMPARE(rig.emitted.size(), 2);
    rig.keys.setEnableSucceeds(true);
    rig.scheduler.advance(30);
    QCOMPARE(rig.emitted, QStringList({"reEnable@5", "reEnable@30", "reEnable@150"}));

    // The recogniser still works after all that.
    rig.emitted.clear();
    runScript(rig, QStringLiteral("200:down 200.5:up"));
    QCOMPARE(rig.names(), QStringList({"keyDown", "keyUp"}));

    // Stopped, a drop is nobody's business.
    rig.monitor.stop();
    rig.emitted.clear();
    rig.keys.drop(true);
    rig.scheduler.advance(100);
    QVERIFY(rig.emitted.isEmpty());
}

QTEST_GUILESS_MAIN(tst_HotkeyMonitor)
#include "tst_HotkeyMonitor.moc"

void tst_HotkeyMonitor::eventsReadLateKeepTheirTimes() {
    // The main thread was busy: the presses of the last half second all arrive at 1.5.
    const auto lateBurst = [](Rig& rig, const QList<std::pair<KeyEvent::Type, double>>& moves) {
        rig.scheduler.advance(1.5 - rig.scheduler.now());
        const HotkeyBinding binding = rig.monitor.binding();
        for (const auto& [type, time] : moves) {
            rig.keys.deliver(keyEvent(type, binding.keyCode, binding.modifiersRawValue, time));
        }
    };
    {
        Rig rig(HotkeyBinding{space, controlOption, GestureMode::pushToTalk});
        rig.monitor.start();
        rig.emitted.clear();
        lateBurst(rig, {{KeyEvent::Type::keyDown, 1.0}, {KeyEvent::Type::keyUp, 1.3}});
        QCOMPARE(rig.names(), QStringList({"keyDown", "keyUp"}));
    }
    {
        Rig rig(HotkeyBinding{space, controlOption, GestureMode::pushToTalk});
        rig.monitor.start();
        rig.emitted.clear();
        lateBurst(rig, {{KeyEvent::Type::keyDown, 1.0},
                        {KeyEvent::Type::keyUp, 1.05},
                        {KeyEvent::Type::keyDown, 1.3},
                        {KeyEvent::Type::keyUp, 1.35}});
        QCOMPARE(rig.names(), QStringList({"keyDown", "cancel", "toggleOn"}));
    }
}
