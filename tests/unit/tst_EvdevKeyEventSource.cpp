#include "KeyEventText.h"
#include "RecordingKeySynthesizer.h"
#include "VirtualScheduler.h"
#include "core/hotkey/HotkeyMonitor.h"
#include "core/hotkey/KeyCodes.h"
#include "platform/linux/evdev/EvdevDeviceAccess.h"
#include "platform/linux/evdev/EvdevKeyEventSource.h"
#include "platform/linux/evdev/EvdevKeyboardFinder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <linux/input.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const QString ourName = QStringLiteral("our own keyboard");

// Devices in a plain folder, each a "keyboard", "mouse", "closed" (not ours to open) or "ours"
// by file name. Files and FIFOs answer no ioctls.
class FolderDevices final : public EvdevDeviceAccess {
public:
    int open(const QString& path) const override {
        if (kinds.value(QFileInfo(path).fileName()) == QLatin1String("closed")) {
            return -EACCES;
        }
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        return fd < 0 ? -errno : fd;
    }

    std::optional<Description> describe(int, const QString& path) const override {
        const QString kind = kinds.value(QFileInfo(path).fileName());
        Description description{kind == QLatin1String("ours") ? ourName : path, true, {}};
        const std::vector<int> keys = kind == QLatin1String("mouse") ? std::vector<int>{BTN_LEFT}
                                                                     : std::vector<int>{KEY_Q, KEY_A, KEY_Z};
        for (const int key : keys) {
            description.keys.set(key);
        }
        return description;
    }

    std::optional<State> state(int) const override { return State{}; }

    QHash<QString, QString> kinds;
};

// A recorded stream as "time:key:value" steps, each followed by a report, or "time:drop" (the
// kernel's queue overflowed) and "time:caps-light:value".
QByteArray recording(const QString& script) {
    static const QHash<QString, int> keys{{"fn", KEY_FN},   {"rctrl", KEY_RIGHTCTRL},
                                          {"esc", KEY_ESC}, {"caps", KEY_CAPSLOCK},
                                          {"a", KEY_A},     {"lshift", KEY_LEFTSHIFT}};
    QByteArray bytes;
    const auto append = [&bytes](double time, quint16 type, quint16 code, qint32 value) {
        const auto micros = static_cast<qint64>(time * 1e6 + 0.5);
        const input_event event{{micros / 1000000, micros % 1000000}, type, code, value};
        bytes.append(reinterpret_cast<const char*>(&event), sizeof event);
    };
    for (const QString& step : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList parts = step.split(QLatin1Char(':'));
        const double time = parts[0].toDouble();
        if (parts[1] == QLatin1String("drop")) {
            append(time, EV_SYN, SYN_DROPPED, 0);
        } else if (parts[1] == QLatin1String("caps-light")) {
            append(time, EV_LED, LED_CAPSL, parts[2].toInt());
        } else {
            append(time, EV_KEY, static_cast<quint16>(keys.value(parts[1], -1)), parts[2].toInt());
        }
        if (parts[1] != QLatin1String("drop")) {
            append(time, EV_SYN, SYN_REPORT, 0);
        }
    }
    return bytes;
}

// A keyboard FIFO in a device folder, and the source reading that folder.
struct Rig {
    Rig() {
        path = folder.filePath(QStringLiteral("event4"));
        mkfifo(QFile::encodeName(path).constData(), 0600);
        devices->kinds.insert(QStringLiteral("event4"), QStringLiteral("keyboard"));
    }
    ~Rig() {
        if (writer >= 0) {
            ::close(writer);
        }
    }

    void openWriter() {
        writer = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    }

    // Plays the recording in its own time, in 7-byte pieces, so that events arrive torn apart.
    void play(const QString& script) {
        const QByteArray bytes = recording(script);
        for (qsizetype offset = 0; offset < bytes.size(); offset += 7) {
            const auto* event = reinterpret_cast<const input_event*>(
                bytes.constData() + offset / qsizetype(sizeof(input_event)) * qsizetype(sizeof(input_event)));
            const double time = double(event->input_event_sec) + event->input_event_usec / 1e6;
            if (time > scheduler.now()) {
                scheduler.advance(time - scheduler.now());
            }
            const auto size = std::min<qsizetype>(7, bytes.size() - offset);
            QCOMPARE(::write(writer, bytes.constData() + offset, size_t(size)), ssize_t(size));
            QCoreApplication::processEvents();
        }
    }

    QTemporaryDir folder;
    QString path;
    std::shared_ptr<FolderDevices> devices = std::make_shared<FolderDevices>();
    VirtualScheduler scheduler;
    EvdevKeyEventSource source{scheduler.clock(), devices, folder.path(), ourName};
    int writer = -1;
};

} // namespace

class tst_EvdevKeyEventSource : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void findsKeyboards_data();
    void findsKeyboards();
    void translatesRecordings_data();
    void translatesRecordings();
    void drivesTheHotkeyMonitor_data();
    void drivesTheHotkeyMonitor();
    void keyboardsComeAndGo();
};

void tst_EvdevKeyEventSource::findsKeyboards_data() {
    QTest::addColumn<QStringList>("entries"); // name=kind
    QTest::addColumn<QStringList>("keyboards");
    QTest::addColumn<QString>("problem");

    QTest::newRow("keyboards in device order, mice and other names left out")
        << QStringList{"event10=keyboard", "event2=keyboard", "event3=mouse", "mouse0=keyboard",
                       "by-id=keyboard"}
        << QStringList{"event2", "event10"} << "";
    QTest::newRow("our own virtual keyboard is not heard")
        << QStringList{"event0=ours", "event1=mouse"} << QStringList{}
        << "no keyboard found among 2 input devices: join the `input` group";
    QTest::newRow("closed devices ask for the input group")
        << QStringList{"event0=closed", "event1=mouse", "event2=closed"} << QStringList{}
        << "2 of 3 input devices are closed to this user): join the `input` group (then log in again), or "
           "bind "
           "`orlavo toggle` in your desktop's shortcut settings";
    QTest::newRow("one readable keyboard is enough")
        << QStringList{"event0=closed", "event1=keyboard"} << QStringList{"event1"} << "";
    QTest::newRow("no device folder")
        << QStringList{"-"} << QStringList{} << "absent does not exist): join the `input` group";
}

void tst_EvdevKeyEventSource::findsKeyboards() {
    QFETCH(QStringList, entries);
    QFETCH(QStringList, keyboards);
    QFETCH(QString, problem);

    QTemporaryDir folder;
    FolderDevices devices;
    const QString searched =
        entries == QStringList{"-"} ? folder.filePath(QStringLiteral("absent")) : folder.path();
    for (const QString& entry : entries) {
        if (entry == QLatin1String("-")) {
            continue;
        }
        const QString name = entry.section(QLatin1Char('='), 0, 0);
        devices.kinds.insert(name, entry.section(QLatin1Char('='), 1));
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const EvdevKeyboardFinder::Result found = EvdevKeyboardFinder::find(searched, devices, ourName);
    QStringList names;
    for (const EvdevKeyboardFinder::Keyboard& keyboard : found.keyboards) {
        QVERIFY(keyboard.fd.isValid());
        names << QFileInfo(keyboard.path).fileName();
    }
    QCOMPARE(names, keyboards);
    QVERIFY2(problem.isEmpty() ? found.problem().isEmpty() : found.problem().contains(problem),
             qPrintable(found.problem()));
}

void tst_EvdevKeyEventSource::translatesRecordings_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("events");

    QTest::newRow("auto-repeat is marked, a repeated modifier is not reported")
        << "1:lshift:1 1.3:lshift:2 1.4:a:1 1.9:a:2 1.93:a:2 2:a:0 2.1:lshift:0"
        << "flags 56 0x20000 press, down 0 0x20000, down 0 0x20000 repeat, down 0 0x20000 repeat, up 0 "
           "0x20000, "
           "flags 56 0x0 release";
    QTest::newRow("the fn key and Right Ctrl are both fn")
        << "1:fn:1 1.2:fn:0 2:rctrl:1 2.2:rctrl:0"
        << "flags 63 0x800000 press, flags 63 0x0 release, flags 63 0x800000 press, flags 63 0x0 release";
    // The compositor's light corrects the lock, as it must for a Caps Lock we typed ourselves.
    QTest::newRow("Caps Lock follows the key, then the light")
        << "1:caps:1 1.1:caps:0 1.5:a:1 2:caps-light:0 2.1:a:0 3:caps:1"
        << "flags 57 0x10000 press, flags 57 0x10000 release, down 0 0x10000, up 0 0x0, flags 57 0x10000 "
           "press";
    QTest::newRow("events lost to an overflow are skipped to the next report")
        << "1:a:1 1.1:drop 1.2:esc:1 1.3:a:0"
        << "down 0 0x0, up 0 0x0";
}

void tst_EvdevKeyEventSource::translatesRecordings() {
    QFETCH(QString, script);
    QFETCH(QString, events);

    Rig rig;
    QStringList seen;
    QVERIFY2(rig.source.start([&](const KeyEvent& event) {
        seen << keyEventText(event);
        QCOMPARE(event.timestamp, rig.scheduler.now());
    }),
             qPrintable(rig.source.lastError()));
    rig.openWriter();
    rig.play(script);
    QCOMPARE(seen.join(QLatin1String(", ")), events);
}

void tst_EvdevKeyEventSource::drivesTheHotkeyMonitor_data() {
    QTest::addColumn<qint64>("keyCode");
    QTest::addColumn<quint64>("modifiers");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("capsLockUndos");

    QTest::newRow("Shift+A held, double tapped, then Escape")
        << qint64(0) << quint64(ModifierFlags::shift)
        << "1:lshift:1 1.01:a:1 1.3:a:2 1.5:a:0 3:a:1 3.05:a:0 3.2:a:1 3.3:a:0 3.35:lshift:0 4:esc:1 "
           "4.05:esc:0"
        << QStringList{"keyDown", "keyUp", "keyDown", "cancel", "toggleOn", "cancel"} << 0;
    QTest::newRow("Caps Lock held, its toggle undone")
        << qint64(KeyCodes::capsLock) << quint64(0) << "1:caps:1 1.5:caps:2 2:caps:0"
        << QStringList{"keyDown", "keyUp"} << 1;
}

void tst_EvdevKeyEventSource::drivesTheHotkeyMonitor() {
    QFETCH(qint64, keyCode);
    QFETCH(quint64, modifiers);
    QFETCH(QString, script);
    QFETCH(QStringList, expected);
    QFETCH(int, capsLockUndos);

    Rig rig;
    RecordingKeySynthesizer synthesizer;
    HotkeyMonitor monitor(HotkeyBinding{keyCode, modifiers, GestureMode::pushToTalk}, rig.source, synthesizer,
                          rig.scheduler);
    static const char* const names[] = {"ready",     "keyDown", "keyUp",   "toggleOn",
                                        "toggleOff", "cancel",  "reEnable"};
    QStringList seen;
    monitor.setOnSignal([&](HotkeySignal signal) { seen << QLatin1String(names[int(signal)]); });
    monitor.start();
    QVERIFY(monitor.isRunning());
    rig.openWriter();
    seen.clear();
    rig.play(script);
    rig.scheduler.advance(1);
    QCOMPARE(seen, expected);
    QCOMPARE(synthesizer.taps().size(), capsLockUndos);
}

void tst_EvdevKeyEventSource::keyboardsComeAndGo() {
    Rig rig;
    int disabled = 0;
    QStringList seen;
    rig.source.setOnDisabled([&] { ++disabled; });
    QVERIFY(rig.source.start([&](const KeyEvent& event) { seen << keyEventText(event); }));
    rig.openWriter();
    rig.play(QStringLiteral("1:a:1"));
    ::close(std::exchange(rig.writer, -1));
    QCoreApplication::processEvents();
    QCOMPARE(disabled, 1);
    QVERIFY(!rig.source.isEnabled());

    // Back while the device is there; gone with it, and saying why.
    QVERIFY(rig.source.enable());
    rig.openWriter();
    rig.play(QStringLiteral("2:a:0"));
    QCOMPARE(seen, (QStringList{"down 0 0x0", "up 0 0x0"}));

    // One plugged in while listening is heard too: its FIFO takes a writer once it is read.
    const QByteArray plugged = QFile::encodeName(rig.folder.filePath(QStringLiteral("event9")));
    rig.devices->kinds.insert(QStringLiteral("event9"), QStringLiteral("keyboard"));
    QCOMPARE(mkfifo(plugged.constData(), 0600), 0);
    int second = -1;
    QTRY_VERIFY((second = ::open(plugged.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) >= 0);
    const QByteArray press = recording(QStringLiteral("3:esc:1"));
    QCOMPARE(::write(second, press.constData(), size_t(press.size())), ssize_t(press.size()));
    ::close(second);
    QTRY_COMPARE(seen.size(), 3);
    QCOMPARE(seen.last(), QStringLiteral("down 53 0x0"));
    rig.source.stop();
    QVERIFY(QFile::remove(rig.path) && QFile::remove(QFile::decodeName(plugged)));
    QVERIFY(!rig.source.start([](const KeyEvent&) {}));
    QVERIFY2(rig.source.lastError().contains(QLatin1String("`orlavo toggle`")),
             qPrintable(rig.source.lastError()));
}

QTEST_MAIN(tst_EvdevKeyEventSource)
#include "tst_EvdevKeyEventSource.moc"
