#include "FakeDesktopPortal.h"
#include "KeyEventText.h"
#include "PrivateSessionBus.h"
#include "VirtualClock.h"
#include "core/hotkey/KeyCodes.h"
#include "platform/linux/portal/GlobalShortcutsKeySource.h"
#include "platform/linux/portal/PortalClient.h"
#include "platform/linux/portal/RemoteDesktopKeySynthesizer.h"

#include <QTest>

#include <X11/keysym.h>

// The two desktop portals Orlavo uses on Wayland, against a fake portal on a bus of the test's
// own: the shortcut as the hotkey, the remote-desktop keyboard as the key output.
class tst_DesktopPortals : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void bindsTheHotkeyAsTheShortcut_data();
    void bindsTheHotkeyAsTheShortcut();
    void activationsBecomeOnePressAndRelease_data();
    void activationsBecomeOnePressAndRelease();
    void aRefusedShortcutSaysWhatToDo_data();
    void aRefusedShortcutSaysWhatToDo();
    void theTypingPermissionIsAskedOnce();
    void keysGoAsKeysyms_data();
    void keysGoAsKeysyms();
    void refusedTypingSaysWhy();

private:
    std::shared_ptr<PortalClient> client() {
        return std::make_shared<PortalClient>(m_bus->connect(QStringLiteral("client%1").arg(++m_clients)),
                                              QStringLiteral("org.orlavo.Test"));
    }
    // Binds a source to `binding` and collects what it delivers as text.
    std::unique_ptr<GlobalShortcutsKeySource> boundSource(const HotkeyBinding& binding, QStringList& events) {
        auto source = std::make_unique<GlobalShortcutsKeySource>(m_clock, client());
        source->setBinding(binding);
        source->start([&events](const KeyEvent& event) { events << keyEventText(event); });
        return source;
    }

    std::unique_ptr<PrivateSessionBus> m_bus;
    std::unique_ptr<FakeDesktopPortal> m_portal;
    VirtualClock m_clock;
    int m_clients = 0;
};

void tst_DesktopPortals::init() {
    m_bus = std::make_unique<PrivateSessionBus>();
    QVERIFY2(m_bus->isRunning(), "dbus-daemon did not start");
    m_portal = std::make_unique<FakeDesktopPortal>(m_bus->connect(QStringLiteral("portal")));
}

void tst_DesktopPortals::cleanup() {
    m_portal.reset();
    m_bus.reset();
}

void tst_DesktopPortals::bindsTheHotkeyAsTheShortcut_data() {
    QTest::addColumn<qint64>("keyCode");
    QTest::addColumn<quint64>("modifiers");
    QTest::addColumn<QString>("trigger");
    QTest::newRow("Ctrl+Shift+D") << qint64(0x02) << (ModifierFlags::control | ModifierFlags::shift)
                                  << QStringLiteral("CTRL+SHIFT+d");
    QTest::newRow("Option+Space") << qint64(0x31) << ModifierFlags::option << QStringLiteral("ALT+space");
    QTest::newRow("Command+F5") << qint64(0x60) << ModifierFlags::command << QStringLiteral("LOGO+F5");
    QTest::newRow("fn is Right Ctrl") << KeyCodes::function << quint64(0) << QStringLiteral("Control_R");
}

void tst_DesktopPortals::bindsTheHotkeyAsTheShortcut() {
    QFETCH(qint64, keyCode);
    QFETCH(quint64, modifiers);
    QFETCH(QString, trigger);
    QStringList events;
    const auto source = boundSource({keyCode, modifiers, GestureMode::pushToTalk}, events);
    QTRY_VERIFY(source->isBound());
    // The application id is known to the portal before anything else is asked.
    QCOMPARE(m_portal->calls.value(0), QStringLiteral("Registry.Register"));
    QCOMPARE(m_portal->registeredAppId, QStringLiteral("org.orlavo.Test"));
    QCOMPARE(m_portal->bindSignature, QStringLiteral("oa(sa{sv})sa{sv}"));
    QCOMPARE(m_portal->shortcutId, GlobalShortcutsKeySource::shortcutId);
    QCOMPARE(m_portal->shortcutProperties.value(QStringLiteral("preferred_trigger")).toString(), trigger);
    QVERIFY(!m_portal->shortcutProperties.value(QStringLiteral("description")).toString().isEmpty());
    QCOMPARE(source->triggerDescription(), trigger);
    QCOMPARE(source->problem(), std::nullopt);
}

void tst_DesktopPortals::activationsBecomeOnePressAndRelease_data() {
    QTest::addColumn<qint64>("keyCode");
    QTest::addColumn<quint64>("modifiers");
    // A = Activated, D = Deactivated, X = Activated of another shortcut, O = of another session.
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("expected");
    const quint64 ctrlShift = ModifierFlags::control | ModifierFlags::shift;
    QTest::newRow("hold") << qint64(2) << ctrlShift << QStringLiteral("AD")
                          << QStringList{QStringLiteral("down 2 0x60000"), QStringLiteral("up 2 0x60000")};
    QTest::newRow("repeats while held start nothing")
        << qint64(2) << ctrlShift << QStringLiteral("AAAD")
        << QStringList{QStringLiteral("down 2 0x60000"), QStringLiteral("up 2 0x60000")};
    QTest::newRow("two holds") << qint64(2) << quint64(0) << QStringLiteral("ADAD")
                               << QStringList{QStringLiteral("down 2 0x0"), QStringLiteral("up 2 0x0"),
                                              QStringLiteral("down 2 0x0"), QStringLiteral("up 2 0x0")};
    QTest::newRow("release without press") << qint64(2) << quint64(0) << QStringLiteral("D") << QStringList{};
    QTest::newRow("other shortcut and session")
        << qint64(2) << quint64(0) << QStringLiteral("XO") << QStringList{};
    QTest::newRow("fn as flags") << KeyCodes::function << quint64(0) << QStringLiteral("AAD")
                                 << QStringList{QStringLiteral("flags 63 0x800000 press"),
                                                QStringLiteral("flags 63 0x0 release")};
}

void tst_DesktopPortals::activationsBecomeOnePressAndRelease() {
    QFETCH(qint64, keyCode);
    QFETCH(quint64, modifiers);
    QFETCH(QString, script);
    QFETCH(QStringList, expected);
    QStringList events;
    const auto source = boundSource({keyCode, modifiers, GestureMode::pushToTalk}, events);
    QTRY_VERIFY(source->isBound());
    for (const QChar step : script) {
        if (step == QLatin1Char('X')) {
            m_portal->emitShortcut(true, QStringLiteral("other"));
        } else if (step == QLatin1Char('O')) {
            m_portal->emitShortcut(true, GlobalShortcutsKeySource::shortcutId, QStringLiteral("/elsewhere"));
        } else {
            m_portal->emitShortcut(step == QLatin1Char('A'), GlobalShortcutsKeySource::shortcutId);
        }
    }
    // A marker shortcut after the script: once its press is in, every earlier signal was seen.
    m_portal->emitShortcut(false, GlobalShortcutsKeySource::shortcutId);
    m_portal->emitShortcut(true, GlobalShortcutsKeySource::shortcutId);
    QTRY_COMPARE(events.size(), expected.size() + 1);
    events.removeLast();
    QCOMPARE(events, expected);
}

void tst_DesktopPortals::aRefusedShortcutSaysWhatToDo_data() {
    QTest::addColumn<uint>("response");
    QTest::addColumn<bool>("assignsTrigger");
    QTest::addColumn<QString>("reason");
    QTest::newRow("declined") << 1u << true << QStringLiteral("declined in the desktop's dialog");
    QTest::newRow("failed") << 2u << true << QStringLiteral("did not bind");
    QTest::newRow("no key assigned") << 0u << false << QStringLiteral("no key was given");
}

void tst_DesktopPortals::aRefusedShortcutSaysWhatToDo() {
    QFETCH(uint, response);
    QFETCH(bool, assignsTrigger);
    QFETCH(QString, reason);
    m_portal->bindResponse = response;
    m_portal->assignsTrigger = assignsTrigger;
    QStringList events;
    const auto source = boundSource({2, 0, GestureMode::pushToTalk}, events);
    int disabled = 0;
    source->setOnDisabled([&disabled] { ++disabled; });
    QTRY_VERIFY(source->problem().has_value());
    QVERIFY2(source->problem()->contains(reason), qPrintable(*source->problem()));
    QVERIFY2(source->problem()->contains(QLatin1String("`input` group")) &&
                 source->problem()->contains(QLatin1String("`orlavo toggle`")),
             qPrintable(*source->problem()));
    QCOMPARE(disabled, 1);
    // The refusal stands: re-enabling does not put the desktop's dialog up again.
    QVERIFY(!source->enable());
    QVERIFY(!source->isEnabled());
}

void tst_DesktopPortals::theTypingPermissionIsAskedOnce() {
    QString stored;
    const RemoteDesktopKeySynthesizer::TokenStore tokens{[&stored] { return stored; },
                                                         [&stored](const QString& token) { stored = token; }};
    {
        RemoteDesktopKeySynthesizer first(client(), tokens);
        first.startSession();
        QTRY_VERIFY(first.isAvailable());
    }
    const QVariantMap firstOptions = m_portal->selectDevicesOptions;
    QCOMPARE(firstOptions.value(QStringLiteral("types")).toUInt(), 1u);
    QCOMPARE(firstOptions.value(QStringLiteral("persist_mode")).toUInt(), 2u);
    QVERIFY(!firstOptions.contains(QStringLiteral("restore_token")));
    QCOMPARE(stored, QStringLiteral("token-1"));

    RemoteDesktopKeySynthesizer second(client(), tokens);
    second.startSession();
    QTRY_VERIFY(second.isAvailable());
    QCOMPARE(m_portal->selectDevicesOptions.value(QStringLiteral("restore_token")).toString(),
             QStringLiteral("token-1"));
    // Each token restores once; the new one replaces it.
    QCOMPARE(stored, QStringLiteral("token-2"));
}

void tst_DesktopPortals::keysGoAsKeysyms_data() {
    QTest::addColumn<int>("keyCode");
    QTest::addColumn<quint64>("flags");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<QPair<int, uint>>>("expected");
    using Stream = QList<QPair<int, uint>>;
    QTest::newRow("paste") << 9 << ModifierFlags::control << QString()
                           << Stream{{XK_Control_L, 1}, {XK_v, 1}, {XK_v, 0}, {XK_Control_L, 0}};
    QTest::newRow("terminal paste") << 9 << (ModifierFlags::control | ModifierFlags::shift) << QString()
                                    << Stream{{XK_Control_L, 1}, {XK_Shift_L, 1}, {XK_v, 1},
                                              {XK_v, 0},         {XK_Shift_L, 0}, {XK_Control_L, 0}};
    QTest::newRow("select left") << 123 << ModifierFlags::shift << QString()
                                 << Stream{{XK_Shift_L, 1}, {XK_Left, 1}, {XK_Left, 0}, {XK_Shift_L, 0}};
    QTest::newRow("return") << 36 << quint64(0) << QString() << Stream{{XK_Return, 1}, {XK_Return, 0}};
    QTest::newRow("typed text") << -1 << quint64(0) << QStringLiteral("Hé€\n\a")
                                << Stream{{XK_H, 1},       {XK_H, 0},       {XK_eacute, 1},  {XK_eacute, 0},
                                          {0x010020AC, 1}, {0x010020AC, 0}, {XK_Shift_L, 1}, {XK_Return, 1},
                                          {XK_Return, 0},  {XK_Shift_L, 0}};
}

void tst_DesktopPortals::keysGoAsKeysyms() {
    QFETCH(int, keyCode);
    QFETCH(quint64, flags);
    QFETCH(QString, text);
    using Stream = QList<QPair<int, uint>>;
    QFETCH(Stream, expected);
    RemoteDesktopKeySynthesizer keyboard(client(), {});
    keyboard.startSession();
    QTRY_VERIFY(keyboard.isAvailable());
    const Result<void> posted =
        keyCode >= 0 ? keyboard.tapKey(quint16(keyCode), flags) : keyboard.typeText(text);
    QVERIFY(posted.ok());
    QTRY_COMPARE(m_portal->keysyms.size(), expected.size());
    QCOMPARE(m_portal->keysyms, expected);
    QCOMPARE(m_portal->keysymSession, m_portal->remoteDesktopSession());
}

void tst_DesktopPortals::refusedTypingSaysWhy() {
    m_portal->startResponse = 1;
    QString stored = QStringLiteral("stale");
    RemoteDesktopKeySynthesizer keyboard(
        client(), {[&stored] { return stored; }, [&stored](const QString& token) { stored = token; }});
    // Before the desktop answers, a press fails and says what is awaited.
    const Result<void> early = keyboard.tapKey(9, ModifierFlags::control);
    QVERIFY(!early.ok());
    QTRY_VERIFY(keyboard.problem().has_value());
    QVERIFY2(keyboard.problem()->contains(QLatin1String("declined")), qPrintable(*keyboard.problem()));
    const Result<void> late = keyboard.typeText(QStringLiteral("hello"));
    QVERIFY(!late.ok());
    QCOMPARE(late.error().description, *keyboard.problem());
    // The refused token is not offered again.
    QVERIFY(stored.isEmpty());
}

QTEST_GUILESS_MAIN(tst_DesktopPortals)
#include "tst_DesktopPortals.moc"
