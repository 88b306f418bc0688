#include "platform/linux/x11/XTestKeySynthesizer.h"

#include "core/common/ErrorCode.h"
#include "core/common/PlatformError.h"
#include "core/hotkey/KeyCodes.h"
#include "platform/linux/input/LinuxKeyTable.h"
#include "platform/linux/input/SyntheticKeyLedger.h"
#include "platform/linux/x11/X11Connection.h"
#include "platform/linux/x11/X11ConnectionProvider.h"
#include "platform/linux/x11/X11KeySymbols.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <array>
#include <utility>
#include <vector>

namespace {

constexpr int evdevOffset = 8;

// Pressed in this order and released in reverse. Caps Lock and fn in the flags are states, not
// keys to hold, and are not pressed.
constexpr std::array<std::pair<quint64, qint64>, 4> modifierKeys{{
    {ModifierFlags::control, 0x3B},
    {ModifierFlags::option, 0x3A},
    {ModifierFlags::shift, 0x38},
    {ModifierFlags::command, 0x37},
}};

PTTError synthesisError(const QString& description) {
    return makeError(PlatformError::cannotPostKeys, description);
}

// The key that carries the code's symbol in the current layout, else the key at the code's
// position; 0 when the keyboard has neither.
int xKeyCodeFor(X11Connection& connection, qint64 systemKeyCode) {
    Display* display = connection.display();
    if (const auto symbol = X11KeySymbols::keySymbol(systemKeyCode)) {
        if (const KeyCode code = XKeysymToKeycode(display, *symbol); code != 0) {
            return code;
        }
    }
    int minimum = 0;
    int maximum = 0;
    XDisplayKeycodes(display, &minimum, &maximum);
    if (const auto evdev = LinuxKeyTable::evdevCode(systemKeyCode)) {
        const int code = *evdev + evdevOffset;
        if (code >= minimum && code <= maximum) {
            return code;
        }
    }
    return 0;
}

} // namespace

XTestKeySynthesizer::XTestKeySynthesizer(std::shared_ptr<X11ConnectionProvider> connections,
                                         std::shared_ptr<SyntheticKeyLedger> ledger, const Clock& clock)
    : m_connections(std::move(connections))
    , m_ledger(std::move(ledger))
    , m_clock(clock) {}

Result<void> XTestKeySynthesizer::tapKey(quint16 keyCode, quint64 flags) {
    X11Connection* connection = readyConnection();
    if (!connection) {
        const QString reason = m_connections->lastError().isEmpty()
                                   ? QStringLiteral("the X server has no XTest extension")
                                   : m_connections->lastError();
        return synthesisError(QStringLiteral("Cannot type keys: %1").arg(reason));
    }

    // Every key is resolved before anything is posted, so a missing one leaves nothing held.
    std::vector<int> modifiers;
    for (const auto& [flag, modifierKey] : modifierKeys) {
        if (flags & flag) {
            const int code = xKeyCodeFor(*connection, modifierKey);
            if (code == 0) {
                return synthesisError(
                    QStringLiteral("Cannot type keys: the keyboard has no modifier key %1").arg(modifierKey));
            }
            modifiers.push_back(code);
        }
    }
    const int key = xKeyCodeFor(*connection, keyCode);
    if (key == 0) {
        return synthesisError(
            QStringLiteral("Cannot type keys: no key on this keyboard has code %1").arg(keyCode));
    }

    std::vector<std::pair<int, bool>> presses;
    for (const int modifier : modifiers) {
        presses.emplace_back(modifier, true);
    }
    presses.emplace_back(key, true);
    presses.emplace_back(key, false);
    for (auto modifier = modifiers.rbegin(); modifier != modifiers.rend(); ++modifier) {
        presses.emplace_back(*modifier, false);
    }

    Display* display = connection->display();
    const double now = m_clock.monotonicSeconds();
    for (const auto& [code, press] : presses) {
        m_ledger->record(code, press, now);
        XTestFakeKeyEvent(display, static_cast<unsigned int>(code), press ? True : False, CurrentTime);
    }
    // The requests sit in Xlib's buffer until now: all of them leave together.
    XFlush(display);
    if (connection->isLost()) {
        return synthesisError(QStringLiteral("Cannot type keys: the connection to the X server was lost"));
    }
    return Result<void>::success();
}

bool XTestKeySynthesizer::isAvailable() const {
    return readyConnection() != nullptr;
}

X11Connection* XTestKeySynthesizer::readyConnection() const {
    X11Connection* connection = m_connections->get();
    if (!connection) {
        return nullptr;
    }
    if (m_checkedGeneration != m_connections->generation()) {
        m_checkedGeneration = m_connections->generation();
        int event = 0;
        int error = 0;
        int major = 0;
        int minor = 0;
        m_hasXTest = XTestQueryExtension(connection->display(), &event, &error, &major, &minor) == True;
        if (m_hasXTest) {
            // Our presses must get through while another client holds a server grab.
            XTestGrabControl(connection->display(), True);
        }
    }
    return m_hasXTest ? connection : nullptr;
}
