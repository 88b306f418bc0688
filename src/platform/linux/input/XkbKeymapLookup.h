#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <memory>
#include <optional>

struct xkb_context;
struct xkb_keymap;

// Where a keyboard layout puts a key symbol, so that a synthetic key types the same symbol
// whichever layout is active: Control+V pastes on Dvorak (V is another key there) and on a Russian
// layout with a Latin group (V is in the second group). Reads an XKB keymap in text form, as
// Wayland compositors hand it out.
class XkbKeymapLookup final {
public:
    struct Key {
        quint32 keycode = 0;   // XKB key code: the evdev code + 8
        quint32 group = 0;     // the layout index the symbol is in
        quint32 modifiers = 0; // the modifier mask that selects the symbol's level
        friend bool operator==(const Key&, const Key&) = default;
    };

    // Null when the text is no keymap xkbcommon understands.
    static std::unique_ptr<XkbKeymapLookup> fromText(const QByteArray& keymapText);
    // The keymap of the XKB_DEFAULT_* variables, else the library's default (a US layout).
    static std::unique_ptr<XkbKeymapLookup> fromDefaults();
    ~XkbKeymapLookup();
    XkbKeymapLookup(const XkbKeymapLookup&) = delete;
    XkbKeymapLookup& operator=(const XkbKeymapLookup&) = delete;

    // The keymap as text, NUL-terminated, ready to hand to a compositor.
    QByteArray text() const;

    // The key typing `keysym`: the first group that has it, the lowest level in it. Absent when no key does.
    std::optional<Key> find(quint32 keysym) const;
    // The mask of Control, Shift, Alt (Mod1) and Super (Mod4) as the system's modifier flags name them.
    quint32 modifierMask(quint64 flags) const;

    // The symbol a US keyboard types at an evdev key without modifiers: what the system's key codes
    // mean. 0 when it has none.
    static quint32 usKeysym(int evdevCode);

private:
    XkbKeymapLookup(xkb_context* context, xkb_keymap* keymap);

    xkb_context* m_context;
    xkb_keymap* m_keymap;
};
