#include "platform/linux/portal/ShortcutTrigger.h"

#include "core/hotkey/KeyCodes.h"
#include "platform/linux/x11/X11KeySymbols.h"

#include <QStringList>

#include <X11/Xlib.h>

namespace ShortcutTrigger {

QString fromBinding(const HotkeyBinding& binding) {
    const std::optional<unsigned long> symbol = X11KeySymbols::keySymbol(binding.keyCode);
    const char* name = symbol ? XKeysymToString(*symbol) : nullptr;
    if (name == nullptr) {
        return {};
    }
    QStringList parts;
    const quint64 modifiers = binding.modifiersRawValue;
    if (modifiers & ModifierFlags::control) {
        parts << QStringLiteral("CTRL");
    }
    if (modifiers & ModifierFlags::option) {
        parts << QStringLiteral("ALT");
    }
    if (modifiers & ModifierFlags::shift) {
        parts << QStringLiteral("SHIFT");
    }
    if (modifiers & ModifierFlags::command) {
        parts << QStringLiteral("LOGO");
    }
    parts << QString::fromLatin1(name);
    return parts.join(QLatin1Char('+'));
}

KeyEvent eventFor(const HotkeyBinding& binding, bool pressed, double timestamp) {
    KeyEvent event;
    event.keyCode = binding.keyCode;
    event.flags = binding.modifiersRawValue & ModifierFlags::bindingMask;
    event.timestamp = timestamp;
    if (binding.keyCode == KeyCodes::function || binding.keyCode == KeyCodes::capsLock) {
        event.type = KeyEvent::Type::flagsChanged;
        event.isPress = pressed;
        if (pressed) {
            event.flags |=
                binding.keyCode == KeyCodes::function ? ModifierFlags::function : ModifierFlags::capsLock;
        }
    } else {
        event.type = pressed ? KeyEvent::Type::keyDown : KeyEvent::Type::keyUp;
    }
    return event;
}

} // namespace ShortcutTrigger
