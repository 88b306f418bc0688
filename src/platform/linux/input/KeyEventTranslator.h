#pragma once

#include "ports/KeyEventSource.h"

#include <bitset>
#include <optional>

// Turns raw key presses and releases (evdev codes) into the system's key events: modifiers, Caps
// Lock and fn become flags-changed events carrying their direction, other keys key-down/key-up
// with a repeat flag. It tracks which keys are held, so the flags of every event describe the
// modifier state after it.
class KeyEventTranslator final {
public:
    static constexpr int maxEvdevCode = 512;

    // `press` is false for a release. Absent for keys without a system code and for the repeated
    // presses of a held modifier (they change nothing).
    std::optional<KeyEvent> translate(int evdevCode, bool press, double timestamp);

    // Starts from a known state: the keys held at this moment and the Caps Lock lock state.
    void reset(const std::bitset<maxEvdevCode>& heldKeys, bool capsLockOn);

    // The Caps Lock lock state, which the platform reports separately from the key.
    void setCapsLockOn(bool on) { m_capsLockOn = on; }

    quint64 flags() const;

private:
    std::bitset<maxEvdevCode> m_held;
    bool m_capsLockOn = false;
};
