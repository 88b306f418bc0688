#include "core/audio/AudioCaptureErrors.h"

#include "core/common/ErrorDomain.h"

namespace AudioCaptureErrors {

PTTError notAuthorizedError() {
    return {ErrorDomain::audio, notAuthorized,
            QStringLiteral("Microphone access was denied or not requested yet")};
}

PTTError notRunningError() {
    return {ErrorDomain::audio, notRunning, QStringLiteral("Audio capture was not running")};
}

PTTError inputLostError() {
    return {ErrorDomain::audio, recordingIncomplete,
            QStringLiteral("The microphone stopped during the recording")};
}

PTTError samplesLostError() {
    return {ErrorDomain::audio, recordingIncomplete, QStringLiteral("Part of the recording was lost")};
}

PTTError busyError() {
    return {ErrorDomain::audio, busy, QStringLiteral("Audio capture is already running")};
}

PTTError cancelledError() {
    return {ErrorDomain::audio, cancelled, QStringLiteral("Audio capture was cancelled")};
}

} // namespace AudioCaptureErrors
