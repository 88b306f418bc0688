#include "core/audio/AudioCaptureErrors.h"

#include "core/audio/AudioCaptureError.h"
#include "core/common/ErrorCode.h"

namespace AudioCaptureErrors {

PTTError notAuthorizedError() {
    return makeError(AudioCaptureError::notAuthorized,
                     QStringLiteral("Microphone access was denied or not requested yet"));
}

PTTError notRunningError() {
    return makeError(AudioCaptureError::notRunning, QStringLiteral("Audio capture was not running"));
}

PTTError inputLostError() {
    return makeError(AudioCaptureError::recordingIncomplete,
                     QStringLiteral("The microphone stopped during the recording"));
}

PTTError samplesLostError() {
    return makeError(AudioCaptureError::recordingIncomplete,
                     QStringLiteral("Part of the recording was lost"));
}

PTTError busyError() {
    return makeError(AudioCaptureError::busy, QStringLiteral("Audio capture is already running"));
}

PTTError cancelledError() {
    return makeError(AudioCaptureError::cancelled, QStringLiteral("Audio capture was cancelled"));
}

} // namespace AudioCaptureErrors
