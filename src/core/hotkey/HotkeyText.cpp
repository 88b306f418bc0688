#include "core/hotkey/HotkeyText.h"

#include "core/hotkey/HotkeyFormatter.h"
#include "core/hotkey/KeyCodes.h"

#include <array>

namespace HotkeyText {

namespace {

struct Modifier {
    quint64 flag;
    const char* name;
};

// The order GNOME and KDE write them in.
constexpr std::array<Modifier, 4> modifiers{{
    {ModifierFlags::control, "Ctrl"},
    {ModifierFlags::option, "Alt"},
    {ModifierFlags::shift, "Shift"},
    {ModifierFlags::command, "Super"},
}};

} // namespace

QString keyName(qint64 keyCode, const QString& functionKeyName) {
    switch (keyCode) {
    case KeyCodes::function:
        return functionKeyName.isEmpty() ? QStringLiteral("Fn") : functionKeyName;
    case KeyCodes::returnKey:
        return QStringLiteral("Enter");
    case 51:
        return QStringLiteral("Backspace");
    case KeyCodes::leftArrow:
        return QStringLiteral("Left");
    case 124:
        return QStringLiteral("Right");
    case 125:
        return QStringLiteral("Down");
    case 126:
        return QStringLiteral("Up");
    default:
        return HotkeyFormatter::keyName(keyCode).value_or(QStringLiteral("Key %1").arg(keyCode));
    }
}

QString readable(const HotkeyBinding& binding, const QString& functionKeyName) {
    QString text;
    for (const Modifier& modifier : modifiers) {
        if (binding.modifiersRawValue & modifier.flag) {
            text += QLatin1String(modifier.name) + QLatin1Char('+');
        }
    }
    return text + keyName(binding.keyCode, functionKeyName);
}

} // namespace HotkeyText
