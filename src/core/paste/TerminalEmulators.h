#pragma once

#include <QString>

struct FrontApplicationInfo;

// Terminal emulators take their paste on a different chord than other applications, because
// Control+V is a control character for the program running inside them. A few other applications
// have key bindings of their own where Control+V means something else (GUI Emacs scrolls on it).
namespace TerminalEmulators {

enum class PasteChord {
    controlV,      // ordinary applications
    controlShiftV, // most terminal emulators
    shiftInsert,   // xterm and rxvt, which paste the PRIMARY selection on Shift+Insert
    controlY,      // Emacs, whose yank takes the clipboard
};

PasteChord pasteChordFor(const FrontApplicationInfo& application);

} // namespace TerminalEmulators
