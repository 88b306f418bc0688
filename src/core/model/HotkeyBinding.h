#pragma once

#include "core/model/GestureMode.h"

#include <QtGlobal>

// The dictation hotkey: a key code and the exact set of modifiers that must be held with it
// (system key codes and modifier bits, see hotkey/KeyCodes.h).
struct HotkeyBinding {
    qint64 keyCode = 63;
    quint64 modifiersRawValue = 0;
    GestureMode gestureMode = GestureMode::pushToTalk;

    friend bool operator==(const HotkeyBinding&, const HotkeyBinding&) = default;
};
