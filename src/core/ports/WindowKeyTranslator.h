#pragma once

#include "core/ports/KeyEventSource.h"

#include <QtGlobal>

#include <optional>

// Reads the key presses that reach one of the application's own windows in the system's key
// codes and modifier bits, through the same key table as the session-wide key source, so a
// shortcut recorded in a window is the one the key source later sees.
class WindowKeyTranslator {
public:
    virtual ~WindowKeyTranslator() = default;

    // `nativeScanCode` as the window system reports it. Absent for keys the system has no code
    // for and for presses that change nothing (a held modifier's repeats).
    virtual std::optional<KeyEvent> translate(quint32 nativeScanCode, bool press, bool isAutoRepeat) = 0;

    // Forgets which keys are held: a window that loses the focus never sees their release.
    virtual void reset() = 0;
};
