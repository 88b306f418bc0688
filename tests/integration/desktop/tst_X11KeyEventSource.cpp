#include "../../unit/KeyEventText.h"
#include "DesktopTestSupport.h"
#include "core/hotkey/KeyCodes.h"
#include "core/time/SystemClock.h"
#include "platform/linux/input/SyntheticKeyLedger.h"
#include "platform/linux/x11/X11ConnectionProvider.h"
#include "platform/linux/x11/X11KeyEventSource.h"
#include "platform/linux/x11/XTestKeySynthesizer.h"

#include <QTest>

#include <memory>
#include <vector>

namespace {

// A key source of its own, with what it heard.
struct Listener {
    explicit Listener(const Clock& clock, std::shared_ptr<SyntheticKeyLedger> ledger = nullptr)
        : source(clock, ledger ? std::move(ledger) : std::make_shared<SyntheticKeyLedger>()) {}

    bool start() {
        return source.start([this](const KeyEvent& event) { events.push_back(event); });
    }
    bool waitFor(std::size_t count) {
        return QTest::qWaitFor([&] { return events.size() >= count; }, 5000);
    }
    QStringList heard() const {
        QStringList lines;
        for (const KeyEvent& event : events) {
            lines << keyEventText(event);
        }
        return lines;
    }

    X11KeyEventSource source;
    std::vector<KeyEvent> events;
};

} // namespace

class tst_X11KeyEventSource : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void reportsKeysByTheirPositions();
    void modifiersCapsLockAndFunctionKey();
    void stampsEventsWithTheServersTimes();
    void keysHeldBeforeTheStartCount();
    void synthesizesChordsAndDropsOnlyThose();
    void reportsALostConnectionAndComesBack();
    void refusesWithoutADisplay();

private:
    void press(const char* position, bool down, unsigned long delayMs = 0) {
        m_client->key(m_client->keyCodeOfPosition(position), down, delayMs);
    }

    SystemClock m_clock;
    std::unique_ptr<DesktopTest::XClient> m_client;
};

void tst_X11KeyEventSource::initTestCase() {
    DESKTOP_TEST_REQUIRE_DESKTOP();
    m_client = std::make_unique<DesktopTest::XClient>();
    QVERIFY(m_client->isOpen());
}

void tst_X11KeyEventSource::reportsKeysByTheirPositions() {
    // One key of each kind: letters, digits, punctuation, the 102nd key, F-keys up to F20, editing
    // keys, arrows, keypad.
    const std::pair<const char*, qint64> keys[] = {
        {"AC01", 0},   {"AE01", 18},  {"AD12", 30}, {"RTRN", 36}, {"SPCE", 49}, {"LSGT", 10},
        {"FK01", 122}, {"FK13", 105}, {"FK20", 90}, {"INS", 114}, {"UP", 126},  {"KPEN", 76},
    };
    Listener listener(m_clock);
    QVERIFY(listener.start());
    QStringList expected;
    for (const auto& [position, keyCode] : keys) {
        QVERIFY2(m_client->keyCodeOfPosition(position) != 0, position);
        press(position, true);
        press(position, false);
        expected << QStringLiteral("down %1 0x0").arg(keyCode) << QStringLiteral("up %1 0x0").arg(keyCode);
    }
    QVERIFY(listener.waitFor(std::size_t(expected.size())));
    QCOMPARE(listener.heard(), expected);
}

void tst_X11KeyEventSource::modifiersCapsLockAndFunctionKey() {
    Listener listener(m_clock);
    QVERIFY(listener.start());
    // Shift and Control held together, released in the other order; Right Control is fn, never
    // Control; Alt, Super on either side; Caps Lock locks on its first press and unlocks on the
    // release of the second.
    const char* const moves[] = {"+LFSH", "+LCTL", "+AC01", "-AC01", "-LFSH", "+AB04", "-AB04",
                                 "-LCTL", "+RCTL", "+AC02", "-AC02", "-RCTL", "+RALT", "+RWIN",
                                 "-RWIN", "-RALT", "+LALT", "+LWIN", "-LWIN", "-LALT", "+CAPS",
                                 "-CAPS", "+AC03", "-AC03", "+CAPS", "-CAPS"};
    for (const char* move : moves) {
        press(move + 1, move[0] == '+');
    }
    const QStringList expected =
        QStringLiteral("flags 56 0x20000 press|flags 59 0x60000 press|down 0 0x60000|up 0 0x60000|"
                       "flags 56 0x40000 release|down 9 0x40000|up 9 0x40000|flags 59 0x0 release|"
                       "flags 63 0x800000 press|down 1 0x800000|up 1 0x800000|flags 63 0x0 release|"
                       "flags 61 0x80000 press|flags 54 0x180000 press|flags 54 0x80000 release|"
                       "flags 61 0x0 release|flags 58 0x80000 press|flags 55 0x180000 press|"
                       "flags 55 0x80000 release|flags 58 0x0 release|"
                       "flags 57 0x10000 press|flags 57 0x10000 release|down 2 0x10000|up 2 0x10000|"
                       "flags 57 0x10000 press|flags 57 0x0 release")
            .split(QLatin1Char('|'));
    QVERIFY(listener.waitFor(std::size_t(expected.size())));
    QCOMPARE(listener.heard(), expected);
}

void tst_X11KeyEventSource::stampsEventsWithTheServersTimes() {
    Listener listener(m_clock);
    QVERIFY(listener.start());
    // The server applies the release 150 ms after the press; we read both at once, so only the
    // server's times can give the hold its length.
    const double before = m_clock.monotonicSeconds();
    press("AB04", true);
    press("AB04", false, 150);
    QVERIFY(listener.waitFor(2));
    const double hold = listener.events[1].timestamp - listener.events[0].timestamp;
    QCOMPARE_GE(listener.events[0].timestamp, before - 0.002); // server times are whole milliseconds
    QCOMPARE_LE(listener.events[1].timestamp, m_clock.monotonicSeconds());
    QCOMPARE_GE(hold, 0.14);
    QCOMPARE_LE(hold, 0.2);
}

void tst_X11KeyEventSource::keysHeldBeforeTheStartCount() {
    press("LCTL", true);
    m_client->sync();
    Listener listener(m_clock);
    QVERIFY(listener.start());
    m_client->tap("b");
    press("LCTL", false);
    QVERIFY(listener.waitFor(3));
    QCOMPARE(listener.heard(), (QStringList{"down 11 0x40000", "up 11 0x40000", "flags 59 0x0 release"}));
}

void tst_X11KeyEventSource::synthesizesChordsAndDropsOnlyThose() {
    auto ledger = std::make_shared<SyntheticKeyLedger>();
    Listener ours(m_clock, ledger);
    XTestKeySynthesizer synthesizer(std::make_shared<X11ConnectionProvider>(), ledger, m_clock);
    // Another listener, without our ledger, hears what the synthesiser really posted.
    Listener everything(m_clock);
    QVERIFY(ours.start());
    QVERIFY(everything.start());
    QVERIFY(synthesizer.isAvailable());

    using namespace ModifierFlags;
    QVERIFY(synthesizer.tapKey(KeyCodes::v, command | shift | option | control).ok());
    // Lock states press nothing.
    QVERIFY(synthesizer.tapKey(KeyCodes::returnKey, capsLock | function).ok());
    // A key code without a key posts nothing at all.
    const Result<void> missing = synthesizer.tapKey(200, shift);
    QVERIFY(!missing.ok());
    QVERIFY(missing.error().description.contains(QLatin1String("200")));
    // Typed by another client through the same XTest device, like xdotool or a remote desktop; the
    // server orders no two clients, so only after ours have arrived.
    QVERIFY(everything.waitFor(12));
    m_client->tap("b");
    QVERIFY(everything.waitFor(14));
    QVERIFY(ours.waitFor(2));
    // Modifiers go down before the key and come up after it, in reverse order.
    QCOMPARE(everything.heard(),
             (QStringList{"flags 59 0x40000 press", "flags 58 0xc0000 press", "flags 56 0xe0000 press",
                          "flags 55 0x1e0000 press", "down 9 0x1e0000", "up 9 0x1e0000",
                          "flags 55 0xe0000 release", "flags 56 0xc0000 release", "flags 58 0x40000 release",
                          "flags 59 0x0 release", "down 36 0x0", "up 36 0x0", "down 11 0x0", "up 11 0x0"}));
    QCOMPARE(ours.heard(), (QStringList{"down 11 0x0", "up 11 0x0"}));
    QVERIFY(ledger->isEmpty());
}

void tst_X11KeyEventSource::reportsALostConnectionAndComesBack() {
    Listener listener(m_clock);
    int disabled = 0;
    listener.source.setOnDisabled([&] { ++disabled; });
    QVERIFY(listener.start());
    QVERIFY(listener.source.isEnabled());

    m_client->killClient(listener.source.connectionResourceBase());
    QTRY_COMPARE(disabled, 1);
    QVERIFY(!listener.source.isEnabled());
    QVERIFY(listener.source.lastError().contains(QLatin1String("lost")));

    QVERIFY(listener.source.enable());
    m_client->tap("b");
    QVERIFY(listener.waitFor(2));
    QCOMPARE(listener.events.front().keyCode, 11);
    QCOMPARE(disabled, 1);

    listener.source.stop();
    QVERIFY(!listener.source.isEnabled());
    QVERIFY(!listener.source.enable());
}

void tst_X11KeyEventSource::refusesWithoutADisplay() {
    for (const auto& [display, reason] :
         {std::pair<QByteArray, QString>{{}, QStringLiteral("DISPLAY is not set")},
          std::pair<QByteArray, QString>{":4999", QStringLiteral(":4999")}}) {
        X11KeyEventSource source(m_clock, std::make_shared<SyntheticKeyLedger>());
        {
            const DesktopTest::EnvironmentOverride noDisplay("DISPLAY", display);
            QVERIFY(!source.start([](const KeyEvent&) {}));
        }
        // The display is back, but nothing was started that could be enabled.
        QVERIFY2(source.lastError().contains(reason), qPrintable(source.lastError()));
        QVERIFY(!source.isEnabled());
        QVERIFY(!source.enable());
    }
}

QTEST_GUILESS_MAIN(tst_X11KeyEventSource)
#include "tst_X11KeyEventSource.moc"
