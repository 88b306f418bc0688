#include "RecordingKeySynthesizer.h"
#include "ScriptedKeyEventSource.h"
#include "VirtualScheduler.h"
#include "core/hotkey/HotkeyMonitor.h"
#include "core/hotkey/KeyCodes.h"

#include <QTest>

#include <optional>

namespace {

constexpr qint64 space = 49;
constexpr quint64 controlOption = ModifierFlags::control | ModifierFlags::option;

// A monitor on fakes, with every signal logged as "name@time".
struct Rig {
    explicit Rig(HotkeyBinding binding)
        : monitor(binding, keys, synthesizer, scheduler) {
        monitor.setOnSignal([this](HotkeySignal signal) {
            static const char* const names[] = {"ready",     "keyDown", "keyUp",   "toggleOn",
                                                "toggleOff", "cancel",  "reEnable"};
            emitted << QLatin1String(names[int(signal)]) + QLatin1Char('@') +
                           QString::number(scheduler.now());
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

// Runs steps "time:action" against the rig. Actions on the bound key: down, up, repeat (with the
// binding's modifiers, or "=FLAGS" to give others), press/release (flags-changed with the key's
// direction), press?/release? (flags-changed with no direction); "@T" stamps the event with the
// earlier time T at which the key moved. Others: esc, tick (only lets time pass), stop, start.
void runScript(Rig& rig, const QString& script) {
    const HotkeyBinding binding = rig.monitor.binding();
    for (const QString& step : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        rig.scheduler.advance(step.section(QLatin1Char(':'), 0, 0).toDouble() - rig.scheduler.now());
        QString action = step.section(QLatin1Char(':'), 1).section(QLatin1Char('@'), 0, 0);
        KeyEvent event;
        event.keyCode = binding.keyCode;
        event.flags = binding.modifiersRawValue;
        event.timestamp = rig.scheduler.now();
        if (step.contains(QLatin1Char('@'))) {
            event.timestamp = step.section(QLatin1Char('@'), 1).toDouble();
        }
        if (action.contains(QLatin1Char('='))) {
            event.flags = action.section(QLatin1Char('='), 1).toULongLong(nullptr, 0);
            action = action.section(QLatin1Char('='), 0, 0);
        }
        if (action == QLatin1String("down") || action == QLatin1String("repeat")) {
            event.type = KeyEvent::Type::keyDown;
            event.isRepeat = action == QLatin1String("repeat");
        } else if (action == QLatin1String("up")) {
            event.type = KeyEvent::Type::keyUp;
        } else if (action.startsWith(QLatin1String("press")) || action.startsWith(QLatin1String("release"))) {
            const bool press = action.startsWith(QLatin1String("press"));
            const quint64 keyFlag =
                binding.keyCode == KeyCodes::function ? ModifierFlags::function : ModifierFlags::capsLock;
            event.type = KeyEvent::Type::flagsChanged;
            event.flags = press ? keyFlag : 0;
            if (!action.endsWith(QLatin1Char('?'))) {
                event.isPress = press;
            }
        } else if (action == QLatin1String("esc")) {
            event.type = KeyEvent::Type::keyDown;
            event.keyCode = KeyCodes::escape;
            event.flags = 0;
        } else if (action == QLatin1String("stop") || action == QLatin1String("start")) {
            action == QLatin1String("stop") ? rig.monitor.stop() : rig.monitor.start();
            continue;
        } else {
            QVERIFY2(action == QLatin1String("tick"), qPrintable(step));
            continue;
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
};

void tst_HotkeyMonitor::gestures_data() {
    QTest::addColumn<qint64>("keyCode");
    QTest::addColumn<quint64>("modifiers");
    QTest::addColumn<QString>("script");
    // Signals in order; "@t" also checks when one came.
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("capsLockUndos");
    QTest::addColumn<bool>("toggleMode");

    const auto rowsFor = [](qint64 keyCode, quint64 modifiers, GestureMode mode = GestureMode::pushToTalk) {
        return [=](const char* name, const char* script, const char* expected, int undos = 0) {
            QTest::newRow(name) << keyCode << modifiers << QString::fromLatin1(script)
                                << QString::fromLatin1(expected) << undos << (mode == GestureMode::toggle);
        };
    };
    const auto chord = rowsFor(space, controlOption);
    chord("hold, with auto-repeat", "0.5:down 0.6:repeat 0.65:repeat 0.7:up", "keyDown@0.5 keyUp@0.7");
    chord("hold of exactly 0.1 s", "1:down 1.1:up", "keyDown keyUp");
    chord("hold of 0.099 s is a tap", "1:down 1.099:up", "keyDown cancel");
    chord("double tap latches, its release keeps recording", "1:down 1.05:up 1.45:down 1.55:up",
          "keyDown cancel toggleOn@1.45");
    chord("second press 0.41 s after the tap", "1:down 1.05:up 1.46:down 1.7:up",
          "keyDown cancel keyDown keyUp");
    chord("latched, releases exactly 0.4 s apart end it",
          "1:down 1.05:up 1.2:down 1.3:up 3:down 3.05:up 3.4:down 3.45:up",
          "keyDown cancel toggleOn toggleOff@3.45");
    chord("latched, releases 0.41 s apart keep it",
          "1:down 1.05:up 1.2:down 1.3:up 3:down 3.05:up 3.4:down 3.46:up", "keyDown cancel toggleOn");
    chord("press soon after a proper hold is a new hold", "1:down 1.2:up 1.3:down 1.5:up",
          "keyDown keyUp keyDown keyUp");
    chord("modifiers missing or extra", "1:down=0 1.2:up=0 2:down=0xE0000 2.2:up=0xE0000", "");
    chord("Caps Lock on still matches", "1:down=0xD0000 1.2:up=0xD0000", "keyDown keyUp");
    chord("modifier let go before the key", "1:down 1.3:up=0x40000", "keyDown keyUp");
    chord("plain key typed just before the hotkey", "1:down=0 1.05:up=0 1.2:down 1.5:up", "keyDown keyUp");
    chord("Escape while idle, then while holding", "0.5:esc 1:down 1.2:esc 1.4:up", "keyDown cancel@1.2");
    chord("Escape during a hold, then its auto-repeat and release",
          "1:down 1.2:esc 1.3:repeat 1.35:repeat 1.5:up 1.7:down 1.9:up", "keyDown cancel keyDown@1.7 keyUp");
    chord("Escape while latched", "1:down 1.05:up 1.2:down 1.3:up 2:esc", "keyDown cancel toggleOn cancel@2");
    chord("stop while held forgets the press", "1:down 1.2:stop 1.3:start 1.5:up 2.5:down 2.7:up",
          "keyDown keyDown@2.5 keyUp");
    // The main thread was busy: the moves of the last half second are all read at 1.5.
    chord("events read late keep their times", "1.5:down@1.0 1.5:up@1.3", "keyDown keyUp");

    const auto fn = rowsFor(KeyCodes::function, 0);
    fn("fn held 0.1 s", "1:press 1.1:release", "keyDown cancel");
    fn("fn held exactly 0.15 s", "1:press 1.15:release", "keyDown keyUp@1.15");
    fn("fn pressed again 0.3 s after release", "1:press 1.2:release 1.5:press 1.7:release", "keyDown keyUp");
    fn("fn pressed again exactly 0.5 s after release", "1:press 1.2:release 1.7:press 1.9:release",
       "keyDown keyUp keyDown@1.7 keyUp");
    fn("fn direction from the flags", "1:press? 1.2:release?", "keyDown keyUp");
    fn("stop with fn held", "1:press 1.2:stop 1.3:start 1.4:release 2:press 2.3:release",
       "keyDown keyDown@2 keyUp@2.3");

    const auto caps = rowsFor(KeyCodes::capsLock, 0);
    caps("Caps Lock held 1 s", "1:press 2:release", "keyDown@1.3 keyUp@2", 1);
    caps("Caps Lock released just before activation", "1:press 1.29:release 2:tick", "");
    caps("Caps Lock release seen first", "1:release 1.7:press 2.5:release", "keyDown@2 keyUp@2.5", 1);
    caps("Caps Lock without direction alternates", "1:press? 2:release?", "keyDown@1.3 keyUp@2", 1);
    caps("Escape while Caps Lock is active", "1:press 1.5:esc 2:release", "keyDown@1.3 cancel@1.5 keyUp@2",
         1);
    caps("stop while the activation is pending", "1:press 1.1:stop 1.2:start 1.4:press 2:release",
         "keyDown@1.7 keyUp@2", 1);

    // Both paths hear F14; only the special one may act on it.
    const auto f14 = rowsFor(KeyCodes::f14, 0);
    f14("F14 hold reaches the owner once", "1:down 1.1:repeat 1.2:up", "keyDown keyUp");
    f14("F14 double tap never latches", "1:down 1.05:up 1.3:down 1.4:up", "keyDown cancel");

    // Toggle mode: a press starts, the next press finishes; releases and repeats do nothing.
    const auto toggleChord = rowsFor(space, controlOption, GestureMode::toggle);
    toggleChord("toggle: press, press", "1:down 1.1:repeat 1.2:up 3:down 3.05:up 4:down",
                "toggleOn@1 toggleOff@3 toggleOn@4");
    toggleChord("toggle: Escape, then the held key repeats", "1:down 1.2:esc 1.3:repeat 1.5:up 2:down",
                "toggleOn cancel toggleOn@2");
    const auto toggleFn = rowsFor(KeyCodes::function, 0, GestureMode::toggle);
    toggleFn("toggle: fn press, press", "1:press 1.05:release 1.3:press 1.4:release",
             "toggleOn@1 toggleOff@1.3");
    const auto toggleCaps = rowsFor(KeyCodes::capsLock, 0, GestureMode::toggle);
    toggleCaps("toggle: Caps Lock press, press", "1:press? 1.05:release? 2:press? 2.05:release? 3:tick",
               "toggleOn@1 toggleOff@2");
}

void tst_HotkeyMonitor::gestures() {
    QFETCH(qint64, keyCode);
    QFETCH(quint64, modifiers);
    QFETCH(QString, script);
    QFETCH(QString, expected);
    QFETCH(int, capsLockUndos);
    QFETCH(bool, toggleMode);

    Rig rig(HotkeyBinding{keyCode, modifiers, toggleMode ? GestureMode::toggle : GestureMode::pushToTalk});
    rig.monitor.start();
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
        // A binding change takes effect at once, its gesture mode too.
        rig.monitor.setBinding(HotkeyBinding{space, ModifierFlags::shift, GestureMode::toggle});
        rig.emitted.clear();
        runScript(rig, QStringLiteral("1:down=0x20000 1.2:up=0x20000"));
        QCOMPARE(rig.names(), QStringList({"toggleOn"}));
        rig.monitor.stop();
        QVERIFY(!rig.monitor.isRunning());
        QVERIFY(!rig.keys.isListening());
        QCOMPARE(rig.scheduler.pendingCount(), std::size_t(0)); // the watchdog went with it
    }
    {
        // Without a key feed nothing runs and nothing is announced; a later start tries again, and
        // both listeners of a special key announce themselves.
        Rig rig(HotkeyBinding{KeyCodes::function, 0, GestureMode::pushToTalk});
        rig.keys.setStartSucceeds(false);
        rig.monitor.start();
        QVERIFY(!rig.monitor.isRunning());
        QVERIFY(rig.emitted.isEmpty());
        QCOMPARE(rig.scheduler.pendingCount(), std::size_t(0));
        rig.keys.setStartSucceeds(true);
        rig.monitor.start();
        QVERIFY(rig.monitor.isRunning());
        QCOMPARE(rig.names(), QStringList({"ready", "ready"}));
    }
    {
        // Destroying a running monitor stops it.
        Rig rig(HotkeyBinding{});
        std::optional<HotkeyMonitor> monitor(std::in_place, HotkeyBinding{}, rig.keys, rig.synthesizer,
                                             rig.scheduler);
        monitor->start();
        QVERIFY(rig.keys.isListening());
        monitor.reset();
        QVERIFY(!rig.keys.isListening());
        QCOMPARE(rig.scheduler.pendingCount(), std::size_t(0));
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
    rig.scheduler.advance(60.1);
    QCOMPARE(rig.emitted, QStringList({"reEnable@5", "reEnable@30"}));

    // A feed that cannot be brought back is not reported as re-enabled; the watchdog keeps trying.
    rig.keys.setEnableSucceeds(false);
    rig.keys.drop(true);
    rig.scheduler.advance(30);
    QCOMPARE(rig.emitted.size(), 2);
    rig.keys.setEnableSucceeds(true);
    rig.scheduler.advance(30);
    QCOMPARE(rig.emitted, QStringList({"reEnable@5", "reEnable@30", "reEnable@150"}));

    // The recogniser still works after all that; stopped, a drop is nobody's business.
    rig.emitted.clear();
    runScript(rig, QStringLiteral("200:down 200.5:up 201:stop"));
    rig.keys.drop(true);
    rig.scheduler.advance(100);
    QCOMPARE(rig.names(), QStringList({"keyDown", "keyUp"}));
}

QTEST_GUILESS_MAIN(tst_HotkeyMonitor)
#include "tst_HotkeyMonitor.moc"
