#include "platform/linux/portal/KeysymStream.h"

#include "core/hotkey/KeyCodes.h"
#include "platform/linux/x11/X11KeySymbols.h"

#include <QList>

#include <X11/keysym.h>
#include <array>
#include <utility>

namespace KeysymStream {

namespace {

constexpr std::array<std::pair<quint64, quint32>, 4> modifiers{{
    {ModifierFlags::control, XK_Control_L},
    {ModifierFlags::option, XK_Alt_L},
    {ModifierFlags::shift, XK_Shift_L},
    {ModifierFlags::command, XK_Super_L},
}};

void tap(std::vector<Press>& presses, quint32 keysym) {
    presses.push_back({keysym, true});
    presses.push_back({keysym, false});
}

} // namespace

std::optional<std::vector<Press>> forChord(quint16 keyCode, quint64 flags) {
    const std::optional<unsigned long> key = X11KeySymbols::keySymbol(keyCode);
    if (!key) {
        return std::nullopt;
    }
    std::vector<Press> presses;
    for (const auto& [flag, keysym] : modifiers) {
        if (flags & flag) {
            presses.push_back({keysym, true});
        }
    }
    tap(presses, static_cast<quint32>(*key));
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) {
        if (flags & it->first) {
            presses.push_back({it->second, false});
        }
    }
    return presses;
}

quint32 keysymFor(char32_t character) {
    if ((character >= 0x20 && character <= 0x7E) || (character >= 0xA0 && character <= 0xFF)) {
        return character;
    }
    return 0x01000000 | character;
}

std::vector<Press> forText(const QString& text) {
    std::vector<Press> presses;
    presses.reserve(static_cast<std::size_t>(text.size()) * 2);
    for (const char32_t character : text.toUcs4()) {
        if (character == U'\n') {
            presses.push_back({XK_Shift_L, true});
            tap(presses, XK_Return);
            presses.push_back({XK_Shift_L, false});
        } else if (character == U'\t') {
            tap(presses, XK_Tab);
        } else if (character >= 0x20 && !(character >= 0x7F && character < 0xA0)) {
            tap(presses, keysymFor(character));
        }
    }
    return presses;
}

} // namespace KeysymStream
