#pragma once

#include "core/common/PTTError.h"

// The errors of microphone capture, all in the "Kestrov.Audio" domain.
namespace AudioCaptureErrors {

enum Code {
    notAuthorized = 1,
    notRunning = 2,
    // The recording ended early or has a gap: what was captured is not the whole dictation.
    recordingIncomplete = 3,
    busy = 4,
    // A cancel arrived while the microphone was still being opened.
    cancelled = 5,
};

PTTError notAuthorizedError();
PTTError notRunningError();
PTTError inputLostError();
PTTError samplesLostError();
PTTError busyError();
PTTError cancelledError();

} // namespace AudioCaptureErrors
