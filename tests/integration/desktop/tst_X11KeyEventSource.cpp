#include "DesktopTestSupport.h"
#include "hotkey/KeyCodes.h"
#include "input/SyntheticKeyLedger.h"
#include "time/SystemClock.h"
#include "x11/X11ConnectionProvider.h"
#include "x11/X11KeyEventSource.h"
#include "x11/XTestKeySynthesizer.h"

#include <QTest>

#include <memory>
#include <vector>

using Type = KeyEvent::Type;

namespace {

// What a test expects of one event; flags compared in full.
struct Expected {
    Type type;
    qint64 keyCode;
    quint64 flags;
    std::optional<bool> isPress = std::nullopt;
};

QString describe(const KeyEvent& event) {
    const char* type = event.type == Type::keyDown ? "down" : event.type == Type::keyUp ? "up" : "flags";
    QString text = QStringLiteral("%1 %2 flags=0x%3")
                       .arg(QLatin1String(type))
                       .arg(event.keyCode)
                       .arg(event.flags, 0, 16);
    if (event.isPress) {
        text += *event.isPress ? QStringLiteral(" press") : QStringLiteral(" release");
    }
    if (event.isRepeat) {
        text += QStringLiteral(" repeat");
    }
    return text;
}

QStringList describe(const std::vector<KeyEvent>& events) {
    QStringList lines;
    for (const KeyEvent& event : events) {
        lines << describe(event);
    }
    return lines;
}

QStringList describe(const std::vector<Expected>& expected) {
    QStringList lines;
    for (const Expected& item : expected) {
        KeyEvent event;
        event.type = item.type;
        event.keyCode = item.keyCode;
        event.flags = item.flags;
        event.isPress = item.isPress;
        lines << describe(event);
    }
    return lines;
}

class Recorder {
public:
    KeyEventSource::Handler handler() {
        return [this](const KeyEvent& event) { events.push_back(event); };
    }
    bool waitFor(std::size_t count) {
        return QTest::qWaitFor([&] { return events.size() >= count; }, 5000);
    }
    std::vector<KeyEvent> events;
};

} // namespace

class tst_X11KeyEventSource : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void reportsEveryKeyByItsPosition_data();
    void reportsEveryKeyByItsPosition();
    void modifiersCapsLockAndFunctionKey();
    void stampsEventsWithTheServersTimes();
    void keysHeldBeforeTheStartCount();
    void dropsOnlyOurOwnSynthesizedKeys();
    void synthesizesChordsInOrder_data();
    void synthesizesChordsInOrder();
    void reportsALostConnectionAndComesBack();
    void refusesWithoutADisplay_data();
    void refusesWithoutADisplay();

private:
    SystemClock m_clock;
    std::unique_ptr<DesktopTest::XClient> m_client;
};

void tst_X11KeyEventSource::initTestCase() {
    if (const QString missing = DesktopTest::missingDesktop(); !missing.isEmpty()) {
        QSKIP(qPrintable(missing));
    }
    m_client = std::make_unique<DesktopTest::XClient>();
    QVERIFY(m_client->isOpen());
}

void tst_X11KeyEventSource::reportsEveryKeyByItsPosition_data() {
    QTest::addColumn<QByteArray>("position");
    QTest::addColumn<qint64>("keyCode");

    const std::pair<const char*, qint64> keys[] = {
        {"AC01", 0},   {"AC02", 1},   {"AC03", 2},   {"AC04", 3},   {"AC06", 4},   {"AC05", 5},
        {"AB01", 6},   {"AB02", 7},   {"AB03", 8},   {"AB04", 9},   {"AB05", 11},  {"AD01", 12},
        {"AD02", 13},  {"AD03", 14},  {"AD04", 15},  {"AD06", 16},  {"AD05", 17},  {"AE01", 18},
        {"AE02", 19},  {"AE03", 20},  {"AE04", 21},  {"AE06", 22},  {"AE05", 23},  {"AE12", 24},
        {"AE09", 25},  {"AE07", 26},  {"AE11", 27},  {"AE08", 28},  {"AE10", 29},  {"AD12", 30},
        {"AD09", 31},  {"AD07", 32},  {"AD11", 33},  {"AD08", 34},  {"AD10", 35},  {"RTRN", 36},
        {"AC09", 37},  {"AC07", 38},  {"AC11", 39},  {"AC08", 40},  {"AC10", 41},  {"BKSL", 42},
        {"AB08", 43},  {"AB10", 44},  {"AB06", 45},  {"AB07", 46},  {"AB09", 47},  {"TAB", 48},
        {"SPCE", 49},  {"TLDE", 50},  {"BKSP", 51},  {"ESC", 53},   {"LSGT", 10},  {"FK01", 122},
        {"FK02", 120}, {"FK03", 99},  {"FK04", 118}, {"FK05", 96},  {"FK06", 97},  {"FK07", 98},
        {"FK08", 100}, {"FK09", 101}, {"FK10", 109}, {"FK11", 103}, {"FK12", 111}, {"FK13", 105},
        {"FK14", 107}, {"FK15", 113}, {"FK16", 106}, {"FK17", 64},  {"FK18", 79},  {"FK19", 80},
        {"FK20", 90},  {"LEFT", 123}, {"RGHT", 124}, {"DOWN", 125}, {"UP", 126},   {"INS", 114},
        {"DELE", 117}, {"HOME", 115}, {"END", 119},  {"PGUP", 116}, {"PGDN", 121}, {"KP0", 82},
        {"KP1", 83},   {"KP5", 87},   {"KP7", 89},   {"KP8", 91},   {"KP9", 92},   {"KPDL", 65},
        {"KPEN", 76},  {"KPAD", 69},  {"KPSU", 78},  {"KPMU", 67},  {"KPDV", 75},  {"KPEQ", 81},
    };
    for (const auto& [position, keyCode] : keys) {
        QTest::newRow(position) << QByteArray(position) << keyCode;
    }
}

void tst_X11KeyEventSource::reportsEveryKeyByItsPosition() {
    QFETCH(QByteArray, position);
    QFETCH(qint64, keyCode);
    const int xKeyCode = m_client->keyCodeOfPosition(position);
    QVERIFY2(xKeyCode != 0, "the server's keyboard has no such key");

    X11KeyEventSource source(m_clock, std::make_shared<SyntheticKeyLedger>());
    Recorder recorder;
    QVERIFY(source.start(recorder.handler()));
    m_client->key(xKeyCode, true);
    m_client->key(xKeyCode, false);
    QVERIFY(recorder.waitFor(2));
    QCOMPARE(describe(recorder.events),
             describe(std::vector<Expected>{{Type::keyDown, keyCode, 0}, {Type::keyUp, keyCode, 0}}));
}

void tst_X11KeyEventSource::modifiersCapsLockAndFunctionKey() {
    X11KeyEventSource source(m_clock, std::make_shared<SyntheticKeyLedger>());
    Recorder recorder;
    QVERIFY(source.start(recorder.handler()));
    const auto press = [&](const char* position, bool down) {
        m_client->key(m_client->keyCodeOfPosition(position), down);
    };
    using namespace ModifierFlags;

    // Shift and Control held together, released in the other order.
    press("LFSH", true);
    press("LCTL", true);
    press("AC01", true);
    press("AC01", false);
    press("LFSH", false);
    press("AB04", true);
    press("AB04", false);
    press("LCTL", false);
    // Right Control is fn, never Control; Alt, Super on either side.
    press("RCTL", true);
    press("AC02", true);
    press("AC02", false);
    press("RCTL", false);
    press("RALT", true);
    press("RWIN", true);
    press("RWIN", false);
    press("RALT", false);
    press("LALT", true);
    press("LWIN", true);
    press("LWIN", false);
    press("LALT", false);
    // Caps Lock locks on its first press and unlocks on the release of the second.
    press("CAPS", true);
    press("CAPS", false);
    press("AC03", true);
    press("AC03", false);
    press("CAPS", true);
    press("CAPS", false);

    const std::vector<Expected> expected{
        {Type::flagsChanged, 0x38, shift, true},
        {Type::flagsChanged, 0x3B, shift | control, true},
        {Type::keyDown, 0, shift | control},
        {Type::keyUp, 0, shift | control},
        {Type::flagsChanged, 0x38, control, false},
        {Type::keyDown, 9, control},
        {Type::keyUp, 9, control},
        {Type::flagsChanged, 0x3B, 0, false},
        {Type::flagsChanged, KeyCodes::function, function, true},
        {Type::keyDown, 1, function},
        {Type::keyUp, 1, function},
        {Type::flagsChanged, KeyCodes::function, 0, false},
        {Type::flagsChanged, 0x3D, option, true},
        {Type::flagsChanged, 0x36, option | command, true},
        {Type::flagsChanged, 0x36, option, false},
        {Type::flagsChanged, 0x3D, 0, false},
        {Type::flagsChanged, 0x3A, option, true},
        {Type::flagsChanged, 0x37, option | command, true},
        {Type::flagsChanged, 0x37, option, false},
        {Type::flagsChanged, 0x3A, 0, false},
        {Type::flagsChanged, KeyCodes::capsLock, capsLock, true},
        {Type::flagsChanged, KeyCodes::capsLock, capsLock, false},
        {Type::keyDown, 2, capsLock},
        {Type::keyUp, 2, capsLock},
        {Type::flagsChanged, KeyCodes::capsLock, capsLock, true},
        {Type::flagsChanged, KeyCodes::capsLock, 0, false},
    };
    QVERIFY(recorder.waitFor(expected.size()));
    QCOMPARE(describe(recorder.events), describe(expected));
}

void tst_X11KeyEventSource::stampsEventsWithTheServersTimes() {
    X11KeyEventSource source(m_clock, std::make_shared<SyntheticKeyLedger>());
    Recorder recorder;
    QVERIFY(source.start(recorder.handler()));
    const int key = m_client->keyCodeOfPosition("AB04");
    // The server applies each request that long after the previous one; we read them all at once,
    // so only the server's times can give the holds their lengths.
    const double before = m_clock.monotonicSeconds();
    m_client->key(key, true);
    m_client->key(key, false, 150);
    m_client->key(key, true, 50);
    m_client->key(key, false, 300);
    QVERIFY(recorder.waitFor(4));
    const double after = m_clock.monotonicSeconds();
    const auto& events = recorder.events;
    // Server times are whole milliseconds.
    QCOMPARE_GE(events[0].timestamp, before - 0.002);
    QCOMPARE_LE(events[3].timestamp, after);
    QCOMPARE_GE(events[1].timestamp - events[0].timestamp, 0.14);
    QCOMPARE_LE(events[1].timestamp - events[0].timestamp, 0.2);
    QCOMPARE_GE(events[2].timestamp - events[1].timestamp, 0.04);
    QCOMPARE_GE(events[3].timestamp - events[2].timestamp, 0.29);
}

void tst_X11KeyEventSource::keysHeldBeforeTheStartCount() {
    const int control = m_client->keyCodeOfPosition("LCTL");
    m_client->key(control, true);
    m_client->sync();
    X11KeyEventSource source(m_clock, std::make_shared<SyntheticKeyLedger>());
    Recorder recorder;
    QVERIFY(source.start(recorder.handler()));
    m_client->tap("b");
    m_client->key(control, false);
    QVERIFY(recorder.waitFor(3));
    QCOMPARE(describe(recorder.events), describe(std::vector<Expected>{
                                            {Type::keyDown, 11, ModifierFlags::control},
                                            {Type::keyUp, 11, ModifierFlags::control},
                                            {Type::flagsChanged, 0x3B, 0, false},
                                        }));
}

void tst_X11KeyEventSource::dropsOnlyOurOwnSynthesizedKeys() {
    auto ledger = std::make_shared<SyntheticKeyLedger>();
    X11KeyEventSource source(m_clock, ledger);
    XTestKeySynthesizer synthesizer(std::make_shared<X11ConnectionProvider>(), ledger, m_clock);
    // Another listener, without our ledger, hears what the synthesiser really posted.
    X11KeyEventSource observer(m_clock, std::make_shared<SyntheticKeyLedger>());
    Recorder ours;
    Recorder everything;
    QVERIFY(source.start(ours.handler()));
    QVERIFY(observer.start(everything.handler()));
    QVERIFY(synthesizer.isAvailable());

    QVERIFY(synthesizer.tapKey(KeyCodes::v, ModifierFlags::control).ok());
    QVERIFY(synthesizer.tapKey(KeyCodes::returnKey, 0).ok());
    // A key code without a key posts nothing at all.
    const Result<void> missing = synthesizer.tapKey(200, ModifierFlags::shift);
    QVERIFY(!missing.ok());
    QVERIFY(missing.error().description.contains(QLatin1String("200")));
    // Typed by another client through the same XTest device, like xdotool or a remote desktop; the
    // server orders no two clients, so only after ours have arrived.
    QVERIFY(everything.waitFor(6));
    m_client->tap("b");
    QVERIFY(everything.waitFor(8));
    QVERIFY(ours.waitFor(2));
    QCOMPARE(describe(everything.events), describe(std::vector<Expected>{
                                              {Type::flagsChanged, 0x3B, ModifierFlags::control, true},
                                              {Type::keyDown, KeyCodes::v, ModifierFlags::control},
                                              {Type::keyUp, KeyCodes::v, ModifierFlags::control},
                                              {Type::flagsChanged, 0x3B, 0, false},
                                              {Type::keyDown, KeyCodes::returnKey, 0},
                                              {Type::keyUp, KeyCodes::returnKey, 0},
                                              {Type::keyDown, 11, 0},
                                              {Type::keyUp, 11, 0},
                                          }));
    QCOMPARE(describe(ours.events),
             describe(std::vector<Expected>{{Type::keyDown, 11, 0}, {Type::keyUp, 11, 0}}));
    QVERIFY(ledger->isEmpty());
}

void tst_X11KeyEventSource::synthesizesChordsInOrder_data() {
    QTest::addColumn<quint64>("flags");
    QTest::addColumn<QList<qint64>>("modifiers");
    using namespace ModifierFlags;
    QTest::newRow("terminal paste") << (control | shift) << QList<qint64>{0x3B, 0x38};
    QTest::newRow("all four") << (command | shift | option | control)
                              << QList<qint64>{0x3B, 0x3A, 0x38, 0x37};
    QTest::newRow("lock states press nothing") << (capsLock | function) << QList<qint64>{};
}

void tst_X11KeyEventSource::synthesizesChordsInOrder() {
    QFETCH(quint64, flags);
    QFETCH(QList<qint64>, modifiers);
    XTestKeySynthesizer synthesizer(std::make_shared<X11ConnectionProvider>(),
                                    std::make_shared<SyntheticKeyLedger>(), m_clock);
    X11KeyEventSource observer(m_clock, std::make_shared<SyntheticKeyLedger>());
    Recorder recorder;
    QVERIFY(observer.start(recorder.handler()));
    QVERIFY(synthesizer.tapKey(KeyCodes::v, flags).ok());

    QVERIFY(recorder.waitFor(2 + 2 * static_cast<std::size_t>(modifiers.size())));
    std::vector<qint64> pressed;
    std::vector<qint64> released;
    bool keyDone = false;
    for (const KeyEvent& event : recorder.events) {
        if (event.type == Type::flagsChanged) {
            (*event.isPress ? pressed : released).push_back(event.keyCode);
            QCOMPARE(*event.isPress, !keyDone);
        } else if (event.type == Type::keyUp) {
            keyDone = true;
        }
    }
    QCOMPARE(QList<qint64>(pressed.begin(), pressed.end()), modifiers);
    std::reverse(released.begin(), released.end());
    QCOMPARE(QList<qint64>(released.begin(), released.end()), modifiers);
}

void tst_X11KeyEventSource::reportsALostConnectionAndComesBack() {
    X11KeyEventSource source(m_clock, std::make_shared<SyntheticKeyLedger>());
    Recorder recorder;
    int disabled = 0;
    source.setOnDisabled([&] { ++disabled; });
    QVERIFY(source.start(recorder.handler()));
    QVERIFY(source.isEnabled());

    m_client->killClient(source.connectionResourceBase());
    QTRY_COMPARE(disabled, 1);
    QVERIFY(!source.isEnabled());
    QVERIFY(source.lastError().contains(QLatin1String("lost")));

    QVERIFY(source.enable());
    QVERIFY(source.isEnabled());
    m_client->tap("b");
    QVERIFY(recorder.waitFor(2));
    QCOMPARE(recorder.events.front().keyCode, 11);
    QCOMPARE(disabled, 1);

    source.stop();
    QVERIFY(!source.isEnabled());
    QVERIFY(!source.enable());
}

void tst_X11KeyEventSource::refusesWithoutADisplay_data() {
    QTest::addColumn<QByteArray>("display");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no DISPLAY") << QByteArray() << QStringLiteral("DISPLAY is not set");
    QTest::newRow("no server there") << QByteArray(":4999") << QStringLiteral(":4999");
}

void tst_X11KeyEventSource::refusesWithoutADisplay() {
    QFETCH(QByteArray, display);
    QFETCH(QString, reason);
    const QByteArray saved = qgetenv("DISPLAY");
    qputenv("DISPLAY", display);
    X11KeyEventSource source(m_clock, std::make_shared<SyntheticKeyLedger>());
    int delivered = 0;
    const bool started = source.start([&](const KeyEvent&) { ++delivered; });
    qputenv("DISPLAY", saved);
    QVERIFY(!started);
    QVERIFY2(source.lastError().contains(reason), qPrintable(source.lastError()));
    QVERIFY(!source.isEnabled());
    QVERIFY(!source.enable());
}

QTEST_GUILESS_MAIN(tst_X11KeyEventSource)
#include "tst_X11KeyEventSource.moc"
