#pragma once

#include "core/model/HotkeyBinding.h"

#include <QString>
#include <QtGlobal>

#include <optional>

// The text a hotkey is shown as, on key caps and in menus: the modifier symbols in the order
// ⌃⌥⇧⌘, a space, and the key's name ("⌃⌥ Space", "⇧⌘ K", "Fn").
namespace HotkeyFormatter {

QString display(const HotkeyBinding& binding);

// The label of a key code of the US layout; absent for keys without one (modifiers, the keypad,
// navigation keys, F17 and above), which display as "Key " and the code.
std::optional<QString> keyName(qint64 keyCode);

} // namespace HotkeyFormatter
