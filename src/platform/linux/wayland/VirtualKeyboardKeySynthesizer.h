#pragma once

#include "core/ports/KeySynthesizer.h"

#include <QByteArray>

#include <memory>

class WaylandConnection;
class WaylandSeatKeymap;
class XkbKeymapLookup;
struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;

// Key presses typed through the virtual-keyboard protocol (wlroots compositors): a keyboard of our
// own inside the compositor, no device permissions needed. It carries the seat's active keymap, so
// keys go by symbol, not position: Control+V is found wherever the active layout has its V.
class VirtualKeyboardKeySynthesizer final : public KeySynthesizer {
public:
    // Null where the compositor offers no virtual keyboards or no seat. Waits (bounded) for the
    // seat's keymap; a seat without a keyboard gets the XKB defaults.
    static std::unique_ptr<VirtualKeyboardKeySynthesizer> create(WaylandConnection& connection);
    ~VirtualKeyboardKeySynthesizer() override;
    VirtualKeyboardKeySynthesizer(const VirtualKeyboardKeySynthesizer&) = delete;
    VirtualKeyboardKeySynthesizer& operator=(const VirtualKeyboardKeySynthesizer&) = delete;

    Result<void> tapKey(quint16 keyCode, quint64 flags) override;
    bool isAvailable() const override;

private:
    VirtualKeyboardKeySynthesizer(WaylandConnection& connection, zwp_virtual_keyboard_manager_v1* manager);
    // Uploads the seat's keymap when it changed since the last upload; false when there is none to use.
    bool refreshKeymap();
    // `text` is the keymap `lookup` was read from, NUL-terminated.
    bool upload(std::unique_ptr<XkbKeymapLookup> lookup, const QByteArray& text);

    WaylandConnection& m_connection;
    zwp_virtual_keyboard_manager_v1* m_manager;
    zwp_virtual_keyboard_v1* m_keyboard = nullptr;
    std::unique_ptr<WaylandSeatKeymap> m_seatKeymap;
    std::unique_ptr<XkbKeymapLookup> m_lookup;
    QByteArray m_uploadedText;
    quint64 m_seenGeneration = 0;
};
