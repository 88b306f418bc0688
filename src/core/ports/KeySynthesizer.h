#pragma once

#include "core/common/ErrorCode.h"
#include "core/common/ErrorDomain.h"
#include "core/common/PlatformError.h"
#include "core/common/Result.h"

#include <QString>
#include <QtGlobal>

// Posts synthetic key presses to the session as if typed (system key codes and modifier bits, as
// in KeyEvent). Events it posts are never reported back by KeyEventSource.
class KeySynthesizer {
public:
    virtual ~KeySynthesizer() = default;

    // Presses the modifiers in `flags`, presses and releases `keyCode`, then releases the
    // modifiers in reverse order, flushed at once. All or nothing: when any event cannot be
    // posted, none is, so no key is left held.
    virtual Result<void> tapKey(quint16 keyCode, quint64 flags) = 0;

    // Whether synthetic events can be posted at all.
    virtual bool isAvailable() const = 0;

    // Types `text` key by key, where the keyboard can produce any character (keysyms): the way
    // to insert text where the clipboard cannot reach the focused application.
    virtual bool canTypeText() const { return false; }
    virtual Result<void> typeText(const QString& text) {
        (void)text;
        return makeError(PlatformError::cannotPostKeys, QStringLiteral("This keyboard cannot type text"));
    }
};
