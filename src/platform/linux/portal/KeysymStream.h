#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>
#include <vector>

// Key presses as X keysyms, the unit of the RemoteDesktop portal's keyboard: the desktop finds
// the key for each symbol in the user's layout, so a paste chord and typed text come out right
// whatever the layout.
namespace KeysymStream {

struct Press {
    quint32 keysym = 0;
    bool pressed = false;

    friend bool operator==(const Press&, const Press&) = default;
};

// The modifiers in `flags` down, the key (a system key code) down and up, the modifiers up in
// reverse; absent when the key has no keysym.
std::optional<std::vector<Press>> forChord(quint16 keyCode, quint64 flags);

// Each character of `text` pressed and released. A line break is Shift+Return, which starts a
// new line in chat applications rather than sending the message; other control characters are
// left out.
std::vector<Press> forText(const QString& text);

// The keysym of one character: Latin-1 characters are their own keysym, the others the Unicode
// keysym range.
quint32 keysymFor(char32_t character);

} // namespace KeysymStream
