#include "platform/linux/input/XkbWindowKeyTranslator.h"

namespace {

constexpr quint32 xkbOffset = 8;

} // namespace

std::optional<KeyEvent> XkbWindowKeyTranslator::translate(quint32 nativeScanCode, bool press,
                                                          bool isAutoRepeat) {
    if (nativeScanCode < xkbOffset) {
        return std::nullopt;
    }
    // Qt reports a held key as release/press pairs marked auto-repeat; the key never went up.
    if (isAutoRepeat && !press) {
        return std::nullopt;
    }
    return m_translator.translate(static_cast<int>(nativeScanCode - xkbOffset), press, 0);
}

void XkbWindowKeyTranslator::reset() {
    m_translator.reset({}, false);
}
