#include "platform/linux/input/KeyEventTranslator.h"

#include "core/hotkey/KeyCodes.h"
#include "platform/linux/input/LinuxKeyTable.h"

#include <array>
#include <linux/input-event-codes.h>

namespace {

constexpr std::array modifierKeys{KEY_LEFTSHIFT,
                                  KEY_RIGHTSHIFT,
                                  KEY_LEFTCTRL,
                                  KEY_LEFTALT,
                                  KEY_RIGHTALT,
                                  KEY_LEFTMETA,
                                  KEY_RIGHTMETA,
                                  LinuxKeyTable::rightControlAsFunction,
                                  LinuxKeyTable::functionKey};

} // namespace

std::optional<KeyEvent> KeyEventTranslator::translate(int evdevCode, bool press, double timestamp) {
    if (evdevCode < 0 || evdevCode >= maxEvdevCode) {
        return std::nullopt;
    }
    const std::optional<qint64> keyCode = LinuxKeyTable::systemKeyCode(evdevCode);
    const bool wasHeld = m_held.test(static_cast<std::size_t>(evdevCode));
    m_held.set(static_cast<std::size_t>(evdevCode), press);
    if (evdevCode == LinuxKeyTable::capsLockKey && !(press && wasHeld)) {
        trackCapsLock(press);
    }
    if (!keyCode) {
        return std::nullopt;
    }

    KeyEvent event;
    event.keyCode = *keyCode;
    event.timestamp = timestamp;
    if (LinuxKeyTable::isFlagsKey(evdevCode)) {
        if (press && wasHeld) {
            return std::nullopt;
        }
        event.type = KeyEvent::Type::flagsChanged;
        event.isPress = press;
    } else {
        event.type = press ? KeyEvent::Type::keyDown : KeyEvent::Type::keyUp;
        event.isRepeat = press && wasHeld;
    }
    event.flags = flags();
    return event;
}

void KeyEventTranslator::trackCapsLock(bool press) {
    if (press) {
        m_capsLockedAtPress = m_capsLockOn;
        m_capsLockOn = true;
    } else if (m_capsLockedAtPress) {
        m_capsLockOn = false;
        m_capsLockedAtPress = false;
    }
}

void KeyEventTranslator::reset(const std::bitset<maxEvdevCode>& heldKeys, bool capsLockOn) {
    m_held = heldKeys;
    m_capsLockOn = capsLockOn;
    m_capsLockedAtPress = capsLockOn;
}

quint64 KeyEventTranslator::flags() const {
    quint64 result = m_capsLockOn ? ModifierFlags::capsLock : 0;
    for (const int code : modifierKeys) {
        if (m_held.test(static_cast<std::size_t>(code))) {
            result |= LinuxKeyTable::modifierFlag(code);
        }
    }
    return result;
}
