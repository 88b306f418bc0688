#pragma once

#include "core/common/ErrorDomain.h"

// Codes of the "Kestrov.Platform" domain: what the desktop could not do for us. Some values are
// shared by failures of different ports; the domain and description tell them apart.
enum class PlatformError {
    // Key presses could not be posted.
    cannotPostKeys = 1,
    // A program (or the local service) could not be started.
    cannotStart = 1,
    // A started program crashed.
    crashed = 2,
    // This desktop offers no way to start programs at all.
    cannotLaunchHere = 2,
    // The command line could not be read.
    badArguments = 2,
    // Drawing or showing something on the desktop failed (the overlay's shared memory).
    cannotDraw = 0,
    // The Wayland compositor could not be reached or lacks what was asked of it.
    compositorUnavailable = 1,
    // A key has no symbol to send through the desktop's keyboard.
    noKeySymbol = 2,
    // The microphone could not be opened.
    audioInputCannotStart = 20,
    // The microphone stopped in the middle of a recording.
    audioInputStopped = 21,
    // The microphone was closed while it was opening.
    audioInputCancelled = 22,
};

inline const QString& errorDomain(PlatformError) {
    return ErrorDomain::platform;
}
