#pragma once

#include "ports/FrontApplication.h"

#include <QString>

// Which keys paste into an application, judged by its window class: terminal emulators take
// Control+Shift+V, and a few classic ones paste only the primary selection (Shift+Insert).
namespace TerminalEmulators {

// `declaredTerminal`: the application's desktop file lists it as a terminal emulator.
FrontApplicationInfo::PasteKeys pasteKeys(const QString& windowClass, const QString& instanceName,
                                          bool declaredTerminal);

} // namespace TerminalEmulators
