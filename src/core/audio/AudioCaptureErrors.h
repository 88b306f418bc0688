#pragma once

#include "core/common/PTTError.h"

// The errors of microphone capture, with their descriptions.
namespace AudioCaptureErrors {

PTTError notAuthorizedError();
PTTError notRunningError();
PTTError inputLostError();
PTTError samplesLostError();
PTTError busyError();
PTTError cancelledError();

} // namespace AudioCaptureErrors
