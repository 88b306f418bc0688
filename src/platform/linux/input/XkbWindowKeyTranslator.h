#pragma once

#include "core/ports/WindowKeyTranslator.h"
#include "platform/linux/input/KeyEventTranslator.h"

// The key events of our own windows on X11 and Wayland, where Qt reports the XKB key code (the
// evdev code plus 8) as the native scan code. The same table and translator as the session-wide
// key source, so Right Control is fn and Caps Lock is 57 here too.
class XkbWindowKeyTranslator final : public WindowKeyTranslator {
public:
    std::optional<KeyEvent> translate(quint32 nativeScanCode, bool press, bool isAutoRepeat) override;
    void reset() override;

private:
    KeyEventTranslator m_translator;
};
