#pragma once

#include <QtGlobal>

#include <optional>

// The X key symbol a system key code stands for on a US keyboard (V → "v", 36 → Return). Posting
// the key that carries that symbol in the current layout keeps shortcuts right on layouts that move
// the letters (Control+V must paste on Dvorak too).
namespace X11KeySymbols {

std::optional<unsigned long> keySymbol(qint64 systemKeyCode);

} // namespace X11KeySymbols
