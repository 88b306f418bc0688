#include "core/hotkey/HotkeyInstructions.h"

#include "core/hotkey/HotkeyRecognizer.h"

namespace HotkeyInstructions {

QString startVerb(const HotkeyBinding& binding) {
    return binding.gestureMode == GestureMode::toggle ? QStringLiteral("Press") : QStringLiteral("Hold");
}

bool doubleTapLatches(const HotkeyBinding& binding) {
    return binding.gestureMode == GestureMode::pushToTalk && !HotkeyRecognizer::isSpecialKey(binding.keyCode);
}

QString howToDictate(const HotkeyBinding& binding, const QString& key) {
    if (binding.gestureMode == GestureMode::toggle) {
        return QStringLiteral(
                   "press %1, speak, and press %1 again; the words are typed where your cursor is.")
            .arg(key);
    }
    QString text =
        QStringLiteral("hold %1, speak, and let go; the words are typed where your cursor is.").arg(key);
    if (doubleTapLatches(binding)) {
        text += QStringLiteral(" A quick double tap keeps recording until the next one.");
    }
    return text;
}

} // namespace HotkeyInstructions
