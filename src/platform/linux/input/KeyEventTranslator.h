#pragma once

#include "core/ports/KeyEventSource.h"

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

    // The lock follows the Caps Lock key as the server's keyboard does: locked on the press that
    // finds it unlocked, unlocked on the release of the press that found it locked. Also called
    // for presses that are not reported (our own), since they move the lock all the same.
    void trackCapsLock(bool press);

    // The lock state as the server reports it, which corrects the tracking (another keymap, a
    // change made without the key).
    void setCapsLockOn(bool on) { m_capsLockOn = on; }

    quint64 flags() const;

private:
    std::bitset<maxEvdevCode> m_held;
    bool m_capsLockOn = false;
    bool m_capsLockedAtPress = false;
};
