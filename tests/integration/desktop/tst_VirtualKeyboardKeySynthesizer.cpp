// Typing through the virtual-keyboard protocol on a real sway, with the seat's active layout: the
// system's key codes name US keys, and the same symbol must arrive whatever layout is active.
#include "DesktopTestSupport.h"
#include "core/hotkey/KeyCodes.h"
#include "platform/linux/input/UniqueFd.h"
#include "platform/linux/input/XkbKeymapLookup.h"
#include "platform/linux/wayland/VirtualKeyboardKeySynthesizer.h"
#include "platform/linux/wayland/WaylandConnection.h"
#include "platform/linux/wayland/protocols/virtual-keyboard-unstable-v1-client-protocol.h"

#include <QTest>

#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr std::chrono::seconds connectTimeout{5};
constexpr quint32 leftShift = 42; // evdev

QByteArray keymapText(const QByteArray& layout, const QByteArray& variant) {
    qputenv("XKB_DEFAULT_LAYOUT", layout);
    qputenv("XKB_DEFAULT_VARIANT", variant);
    const std::unique_ptr<XkbKeymapLookup> lookup = XkbKeymapLookup::fromDefaults();
    qunsetenv("XKB_DEFAULT_LAYOUT");
    qunsetenv("XKB_DEFAULT_VARIANT");
    return lookup ? lookup->text() : QByteArray();
}

// Sets the layout as a sway user does in the configuration; it applies to every keyboard.
bool setLayout(const QByteArray& layout, const QByteArray& variant) {
    const auto set = [](const QString& what, const QByteArray& value) {
        return DesktopTest::run(
                   QStringLiteral("swaymsg"),
                   {QStringLiteral("input type:keyboard %1 \"%2\"").arg(what, QString::fromUtf8(value))}) ==
               0;
    };
    return set(QStringLiteral("xkb_variant"), {}) && set(QStringLiteral("xkb_layout"), layout) &&
           set(QStringLiteral("xkb_variant"), variant);
}

// A keyboard of another client, so the seat has one all along.
class UserKeyboard final {
public:
    bool make(const QByteArray& keymap) {
        Result<std::unique_ptr<WaylandConnection>> connected = WaylandConnection::connect({}, connectTimeout);
        if (!connected || keymap.isEmpty()) {
            return false;
        }
        m_connection = std::move(connected).value();
        m_manager =
            m_connection->bind<zwp_virtual_keyboard_manager_v1>(zwp_virtual_keyboard_manager_v1_interface, 1);
        if (!m_manager) {
            return false;
        }
        m_keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(m_manager, m_connection->seat());
        const UniqueFd file(::memfd_create("test-keymap", MFD_CLOEXEC));
        if (::write(file.get(), keymap.constData(), static_cast<size_t>(keymap.size())) != keymap.size()) {
            return false;
        }
        zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, file.get(),
                                       static_cast<quint32>(keymap.size()));
        zwp_virtual_keyboard_v1_key(m_keyboard, 0, leftShift, WL_KEYBOARD_KEY_STATE_PRESSED);
        zwp_virtual_keyboard_v1_key(m_keyboard, 0, leftShift, WL_KEYBOARD_KEY_STATE_RELEASED);
        return m_connection->roundtrip(connectTimeout);
    }
    ~UserKeyboard() {
        if (m_keyboard) {
            zwp_virtual_keyboard_v1_destroy(m_keyboard);
        }
        if (m_manager) {
            wl_proxy_destroy(reinterpret_cast<wl_proxy*>(m_manager));
        }
    }

private:
    std::unique_ptr<WaylandConnection> m_connection;
    zwp_virtual_keyboard_manager_v1* m_manager = nullptr;
    zwp_virtual_keyboard_v1* m_keyboard = nullptr;
};

} // namespace

class tst_VirtualKeyboardKeySynthesizer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void keysTypeTheirSymbolInTheActiveLayout_data();
    void keysTypeTheirSymbolInTheActiveLayout();
    void cleanup();

private:
    DesktopTest::TestWindow m_window;
    // Keeps a keyboard on the seat between the rows: a seat without one takes the window's
    // keyboard away, and keys sent while the window gets a new one are lost.
    UserKeyboard m_seatKeyboard;
};

void tst_VirtualKeyboardKeySynthesizer::initTestCase() {
    DESKTOP_TEST_REQUIRE_WAYLAND();
    QVERIFY(m_seatKeyboard.make(keymapText("us", {})));
    QVERIFY(m_window.start(QStringLiteral("OrlavoTarget"), QStringLiteral("orlavotarget")));
    Result<std::unique_ptr<WaylandConnection>> connection = WaylandConnection::connect({}, connectTimeout);
    QVERIFY(connection);
    const std::unique_ptr<VirtualKeyboardKeySynthesizer> synthesizer =
        VirtualKeyboardKeySynthesizer::create(*connection.value());
    QVERIFY(synthesizer);
    // The window asks for its keyboard once it sees the seat has one; until then keys go nowhere.
    constexpr quint16 x = 7;
    bool typed = false;
    for (int attempt = 0; attempt < 50 && !typed; ++attempt) {
        QVERIFY(synthesizer->tapKey(x, 0));
        typed = QTest::qWaitFor([this] { return m_window.text().contains(QLatin1Char('x')); }, 100);
    }
    QVERIFY(typed);
}

void tst_VirtualKeyboardKeySynthesizer::cleanupTestCase() {
    m_window.close();
}

void tst_VirtualKeyboardKeySynthesizer::keysTypeTheirSymbolInTheActiveLayout_data() {
    QTest::addColumn<QByteArray>("layout");
    QTest::addColumn<QByteArray>("variant");
    QTest::addColumn<qint64>("keyCode");
    QTest::addColumn<quint64>("flags");
    QTest::addColumn<QString>("typed");
    // By position, the second and last rows would type "z", the third "k", the fourth a Cyrillic letter.
    QTest::newRow("us") << QByteArray("us") << QByteArray() << KeyCodes::v << quint64(0)
                        << QStringLiteral("v");
    QTest::newRow("de: Y and Z swapped")
        << QByteArray("de") << QByteArray() << KeyCodes::y << quint64(0) << QStringLiteral("y");
    QTest::newRow("dvorak: V elsewhere")
        << QByteArray("us") << QByteArray("dvorak") << KeyCodes::v << quint64(0) << QStringLiteral("v");
    QTest::newRow("ru,us: V in the second group")
        << QByteArray("ru,us") << QByteArray(",") << KeyCodes::v << quint64(0) << QStringLiteral("v");
    QTest::newRow("with Shift") << QByteArray("de") << QByteArray() << KeyCodes::y << ModifierFlags::shift
                                << QStringLiteral("Y");
}

void tst_VirtualKeyboardKeySynthesizer::keysTypeTheirSymbolInTheActiveLayout() {
    QFETCH(QByteArray, layout);
    QFETCH(QByteArray, variant);
    QFETCH(qint64, keyCode);
    QFETCH(quint64, flags);
    QFETCH(QString, typed);
    QVERIFY(setLayout(layout, variant));

    Result<std::unique_ptr<WaylandConnection>> connection = WaylandConnection::connect({}, connectTimeout);
    QVERIFY(connection);
    const std::unique_ptr<VirtualKeyboardKeySynthesizer> synthesizer =
        VirtualKeyboardKeySynthesizer::create(*connection.value());
    QVERIFY(synthesizer && synthesizer->isAvailable());
    const QString before = m_window.text();
    QVERIFY(synthesizer->tapKey(static_cast<quint16>(keyCode), flags));
    QVERIFY2(m_window.waitForText(before + typed), qPrintable(m_window.text()));
}

void tst_VirtualKeyboardKeySynthesizer::cleanup() {
    QVERIFY(setLayout("us", {}));
}

QTEST_MAIN(tst_VirtualKeyboardKeySynthesizer)
#include "tst_VirtualKeyboardKeySynthesizer.moc"
