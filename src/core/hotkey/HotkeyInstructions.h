#pragma once

#include "core/model/HotkeyBinding.h"

#include <QString>

// What the user is told to press, worded after what the recogniser really does with the binding:
// hold-to-talk or press-to-start, press-to-stop, and a double tap that latches only where the key
// has one (ordinary keys in hold-to-talk mode; fn, Caps Lock and F14 are hold-only).
namespace HotkeyInstructions {

// "Hold" or "Press": the verb for starting a dictation with `key`.
QString startVerb(const HotkeyBinding& binding);

bool doubleTapLatches(const HotkeyBinding& binding);

// One sentence for the terminal and the welcome window, e.g. "hold Right Ctrl, speak, and let
// go; the words are typed where your cursor is."
QString howToDictate(const HotkeyBinding& binding, const QString& key);

} // namespace HotkeyInstructions
