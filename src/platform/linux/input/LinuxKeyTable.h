#pragma once

#include <QtGlobal>

#include <optional>

// Linux input key codes (evdev, as in <linux/input-event-codes.h>; X11 key codes are these plus 8)
// against the system's key codes (the virtual key codes of a US keyboard, hotkey/KeyCodes.h).
// Both name physical positions, so the table is independent of the keyboard layout.
namespace LinuxKeyTable {

// Right Control: X11 never delivers KEY_FN, so Right Control stands in for fn there.
inline constexpr int rightControlAsFunction = 97;
inline constexpr int functionKey = 464; // KEY_FN, seen only on the evdev path
inline constexpr int capsLockKey = 58;

// The system key code of an evdev key, or absent for keys the system has no code for.
std::optional<qint64> systemKeyCode(int evdevCode);

// The evdev key that produces a system key code; absent when there is none. fn maps to Right
// Control, the key that stands in for it.
std::optional<int> evdevCode(qint64 systemKeyCode);

// The modifier bit (ModifierFlags) a held key contributes, 0 for other keys. Caps Lock is a lock,
// not a held modifier, and contributes 0 here.
quint64 modifierFlag(int evdevCode);

// Modifier keys, Caps Lock and fn: the keys reported as flags-changed rather than key-down/up.
bool isFlagsKey(int evdevCode);

} // namespace LinuxKeyTable
