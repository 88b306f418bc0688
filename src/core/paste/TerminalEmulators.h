#pragma once

#include <QString>

struct FrontApplicationInfo;

// Terminal emulators take their paste on a different chord than other applications, because
// Control+V is a control character for the program running inside them.
namespace TerminalEmulators {

enum class PasteChord {
    controlV,      // ordinary applications
    controlShiftV, // most terminal emulators
    shiftInsert,   // xterm and rxvt, which paste the PRIMARY selection on Shift+Insert
};

PasteChord pasteChordFor(const FrontApplicationInfo& application);

} // namespace TerminalEmulators
