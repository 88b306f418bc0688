#pragma once

#include "core/model/HotkeyBinding.h"

#include <QString>

// A hotkey as people on a Linux desktop name it: "Ctrl+Alt+Space", "Super+K", "Right Ctrl". The
// stored binding and HotkeyFormatter keep the system's own symbols; this is only what is shown.
namespace HotkeyText {

// `functionKeyName` is the key that stands in for fn on this desktop ("Right Ctrl" on X11); empty
// where fn is a key of its own.
QString readable(const HotkeyBinding& binding, const QString& functionKeyName);

// The name of one key, without modifiers.
QString keyName(qint64 keyCode, const QString& functionKeyName);

} // namespace HotkeyText
