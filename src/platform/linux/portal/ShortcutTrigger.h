#pragma once

#include "core/model/HotkeyBinding.h"
#include "core/ports/KeyEventSource.h"

#include <QString>

// The GlobalShortcuts portal speaks of shortcuts, not keys: a binding is offered to it as a
// trigger in the shortcuts notation ("CTRL+SHIFT+d", modifiers then an XKB key name), and its
// activations come back as the key events the binding's key would give.
namespace ShortcutTrigger {

// The preferred trigger for `binding`; empty when its key has no name (the desktop then asks).
QString fromBinding(const HotkeyBinding& binding);

// The key event the bound key gives when it goes down (`pressed`) or up; fn and Caps Lock are
// flags-changed keys, the others key-down and key-up with the binding's modifiers held.
KeyEvent eventFor(const HotkeyBinding& binding, bool pressed, double timestamp);

} // namespace ShortcutTrigger
