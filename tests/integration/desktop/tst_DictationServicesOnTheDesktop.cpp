// The platform-free services of dictation (hotkey monitor, paste) running on the Linux desktop layer
// against the real X server and clipboard; the microphone's path is in tst_PulseAudioInput and the
// end-to-end test.
#include "DesktopTestSupport.h"
#include "core/hotkey/HotkeyMonitor.h"
#include "core/hotkey/KeyCodes.h"
#include "core/paste/PasteService.h"
#include "core/time/QtScheduler.h"
#include "platform/linux/atspi/AtspiSelectedTextReader.h"
#include "platform/linux/input/SyntheticKeyLedger.h"
#include "platform/linux/qt/QtClipboardPasteboard.h"
#include "platform/linux/x11/X11ClipboardReader.h"
#include "platform/linux/x11/X11ConnectionProvider.h"
#include "platform/linux/x11/X11FrontApplication.h"
#include "platform/linux/x11/X11KeyEventSource.h"
#include "platform/linux/x11/X11Properties.h"
#include "platform/linux/x11/XTestKeySynthesizer.h"

#include <QBuffer>
#include <QCoroTask>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <X11/XKBlib.h>
#include <memory>

namespace {

bool capsLockIsOn(DesktopTest::XClient& client) {
    XkbStateRec state;
    XkbGetState(client.display(), XkbUseCoreKbd, &state);
    return (state.locked_mods & LockMask) != 0;
}

} // namespace

class tst_DictationServicesOnTheDesktop : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void holdingTheHotkeyRecords_data();
    void holdingTheHotkeyRecords();
    void aDoubleTapLatchesAndASecondOneEnds();
    void inToggleModeFnStartsAndTheNextPressFinishes();
    void capsLockEndsWhereItBegan();
    void pastesAndPutsTheUsersClipboardBack();
    void pastesIntoATerminal();

private:
    void press(const char* position, bool down, unsigned long delayMs = 0) {
        m_client->key(m_client->keyCodeOfPosition(position), down, delayMs);
    }
    bool waitForSignals(int count) {
        return QTest::qWaitFor([&] { return m_signals.size() >= count; }, 10000);
    }
    // A running monitor on the real key feed; its signals, but for "ready", go to m_signals.
    std::unique_ptr<HotkeyMonitor> startMonitor(qint64 keyCode, quint64 modifiers,
                                                GestureMode mode = GestureMode::pushToTalk) {
        auto monitor = std::make_unique<HotkeyMonitor>(HotkeyBinding{keyCode, modifiers, mode}, *m_keys,
                                                       *m_synthesizer, m_scheduler);
        monitor->setOnSignal([this](HotkeySignal signal) {
            static const char* const names[] = {"ready",     "keyDown", "keyUp",   "toggleOn",
                                                "toggleOff", "cancel",  "reEnable"};
            if (signal != HotkeySignal::ready) {
                m_signals << QLatin1String(names[int(signal)]);
            }
        });
        monitor->start();
        return monitor;
    }

    std::unique_ptr<DesktopTest::XClient> m_client;
    QtScheduler m_scheduler;
    std::shared_ptr<SyntheticKeyLedger> m_ledger = std::make_shared<SyntheticKeyLedger>();
    std::shared_ptr<X11ConnectionProvider> m_connections = std::make_shared<X11ConnectionProvider>();
    std::unique_ptr<X11KeyEventSource> m_keys;
    std::unique_ptr<XTestKeySynthesizer> m_synthesizer;
    QStringList m_signals;
};

void tst_DictationServicesOnTheDesktop::initTestCase() {
    DESKTOP_TEST_REQUIRE_DESKTOP();
    m_client = std::make_unique<DesktopTest::XClient>();
    QVERIFY(m_client->isOpen());
}

void tst_DictationServicesOnTheDesktop::init() {
    // The key source stamps with the clock the monitor reads, as the application wires them.
    m_keys = std::make_unique<X11KeyEventSource>(m_scheduler.clock(), m_ledger);
    m_synthesizer = std::make_unique<XTestKeySynthesizer>(m_connections, m_ledger, m_scheduler.clock());
    m_signals.clear();
}

void tst_DictationServicesOnTheDesktop::cleanup() {
    m_synthesizer.reset();
    m_keys.reset();
}

void tst_DictationServicesOnTheDesktop::holdingTheHotkeyRecords_data() {
    QTest::addColumn<qint64>("keyCode");
    QTest::addColumn<quint64>("modifiers");
    QTest::addColumn<QByteArrayList>("keys"); // modifiers first, the key last
    QTest::newRow("fn, which is Right Control") << KeyCodes::function << quint64(0) << QByteArrayList{"RCTL"};
    QTest::newRow("F14") << KeyCodes::f14 << quint64(0) << QByteArrayList{"FK14"};
    QTest::newRow("Control+Option+Space") << qint64(49) << (ModifierFlags::control | ModifierFlags::option)
                                          << QByteArrayList{"LCTL", "LALT", "SPCE"};
}

void tst_DictationServicesOnTheDesktop::holdingTheHotkeyRecords() {
    QFETCH(qint64, keyCode);
    QFETCH(quint64, modifiers);
    QFETCH(QByteArrayList, keys);
    const auto monitor = startMonitor(keyCode, modifiers);
    QVERIFY(monitor->isRunning());

    for (const QByteArray& key : keys) {
        press(key.constData(), true);
    }
    // The server holds the key for 300 ms; people let go of the modifiers first.
    for (qsizetype index = 0; index < keys.size(); ++index) {
        press(keys[index].constData(), false, index == 0 ? 300 : 0);
    }
    QVERIFY(waitForSignals(2));
    // Once: the special keys are heard on two paths, and only one may act on them.
    QTest::qWait(100);
    QCOMPARE(m_signals, QStringList({"keyDown", "keyUp"}));
    monitor->stop();
}

void tst_DictationServicesOnTheDesktop::aDoubleTapLatchesAndASecondOneEnds() {
    const auto monitor = startMonitor(49, ModifierFlags::control);
    press("LCTL", true);
    // Two quick taps latch the recording on; releasing the second keeps it on.
    press("SPCE", true);
    press("SPCE", false, 40);
    press("SPCE", true, 150);
    press("SPCE", false, 40);
    QVERIFY(waitForSignals(3));
    QCOMPARE(m_signals, QStringList({"keyDown", "cancel", "toggleOn"}));
    // Later, two releases close together end it.
    press("SPCE", true, 700);
    press("SPCE", false, 40);
    press("SPCE", true, 150);
    press("SPCE", false, 40);
    press("LCTL", false);
    QVERIFY(waitForSignals(4));
    QCOMPARE(m_signals, QStringList({"keyDown", "cancel", "toggleOn", "toggleOff"}));
    monitor->stop();
}

void tst_DictationServicesOnTheDesktop::inToggleModeFnStartsAndTheNextPressFinishes() {
    const auto monitor = startMonitor(KeyCodes::function, 0, GestureMode::toggle);
    press("RCTL", true);
    press("RCTL", false, 60);
    QVERIFY(waitForSignals(1));
    press("RCTL", true, 900);
    press("RCTL", false, 60);
    QVERIFY(waitForSignals(2));
    QTest::qWait(100);
    QCOMPARE(m_signals, QStringList({"toggleOn", "toggleOff"}));
    monitor->stop();
}

void tst_DictationServicesOnTheDesktop::capsLockEndsWhereItBegan() {
    const bool before = capsLockIsOn(*m_client);
    const auto monitor = startMonitor(KeyCodes::capsLock, 0);
    // A long press records, and the lock it flipped is flipped back by a synthesised press that
    // the monitor does not hear.
    press("CAPS", true);
    press("CAPS", false, 600);
    QVERIFY(waitForSignals(2));
    QTRY_COMPARE(capsLockIsOn(*m_client), before);
    QTest::qWait(200);
    QCOMPARE(m_signals, QStringList({"keyDown", "keyUp"}));
    // A quick tap records nothing and toggles the lock as usual.
    press("CAPS", true, 600);
    press("CAPS", false, 50);
    QTRY_COMPARE(capsLockIsOn(*m_client), !before);
    QTest::qWait(400);
    QCOMPARE(m_signals, QStringList({"keyDown", "keyUp"}));
    monitor->stop();
    m_client->tap("Caps_Lock");
    QTRY_COMPARE(capsLockIsOn(*m_client), before);
}

void tst_DictationServicesOnTheDesktop::pastesAndPutsTheUsersClipboardBack() {
    // The user copied an image in another application, which has quit by the time we restore it.
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QBuffer png;
    QVERIFY(png.open(QIODevice::WriteOnly) && image.save(&png, "PNG"));
    auto owner = std::make_unique<DesktopTest::SelectionOwner>(QStringLiteral("clipboard"),
                                                               QStringLiteral("image/png"), png.data());
    AtspiSelectedTextReader selection([this] { return X11Properties::activeProcess(*m_connections); });
    QTRY_VERIFY_WITH_TIMEOUT(selection.isListening(), 10000);
    DesktopTest::TestWindow window;
    QVERIFY(window.start(QStringLiteral("OrlavoNotepad"), QStringLiteral("orlavo-notepad")));
    QtClipboardPasteboard pasteboard(std::make_unique<X11ClipboardReader>(m_connections));
    X11FrontApplication front(m_connections, {});
    PasteService paste(pasteboard, *m_synthesizer, selection, front, m_scheduler);

    QVERIFY(QCoro::waitFor(paste.insertViaClipboard(QStringLiteral("Hellö from Orlavo ✓"))).ok());
    owner.reset();
    QVERIFY2(window.waitForText(QStringLiteral("Hellö from Orlavo ✓")), qPrintable(window.text()));
    QTRY_COMPARE_WITH_TIMEOUT(
        DesktopTest::readSelection(QStringLiteral("clipboard"), QStringLiteral("image/png")), png.data(),
        5000);

    // Selecting the paste again (Shift+Left) and reading it back as the selection.
    QVERIFY(paste.selectPreviousText(8).ok());
    QTRY_COMPARE(QCoro::waitFor(paste.selectedText()), std::optional<QString>(QStringLiteral("Orlavo ✓")));
}

void tst_DictationServicesOnTheDesktop::pastesIntoATerminal() {
    QTemporaryDir directory;
    const QString received = directory.filePath(QStringLiteral("received"));
    QProcess xterm;
    xterm.start(QStringLiteral("xterm"), {QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"),
                                          QStringLiteral("stty -icanon; head -c 9 > '%1'").arg(received)});
    QVERIFY(xterm.waitForStarted(5000));
    X11FrontApplication front(m_connections, {});
    QTRY_VERIFY_WITH_TIMEOUT(front.current() && front.current()->windowClass == QLatin1String("XTerm"),
                             10000);

    // What the user selected before: xterm's paste overwrites the primary selection, and it comes back.
    DesktopTest::SelectionOwner selected(QStringLiteral("primary"), QStringLiteral("UTF8_STRING"),
                                         "selected before");
    QtClipboardPasteboard pasteboard(std::make_unique<X11ClipboardReader>(m_connections));
    AtspiSelectedTextReader selection({});
    PasteService paste(pasteboard, *m_synthesizer, selection, front, m_scheduler);
    QVERIFY(QCoro::waitFor(paste.insertViaClipboard(QStringLiteral("ls -la ~/"))).ok());
    QTRY_COMPARE_WITH_TIMEOUT(xterm.state(), QProcess::NotRunning, 10000);
    QFile file(received);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("ls -la ~/"));
    QTRY_COMPARE_WITH_TIMEOUT(DesktopTest::readSelection(QStringLiteral("primary")),
                              QByteArray("selected before"), 5000);
}

QTEST_MAIN(tst_DictationServicesOnTheDesktop)
#include "tst_DictationServicesOnTheDesktop.moc"
