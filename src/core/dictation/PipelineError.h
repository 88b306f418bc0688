#pragma once

#include "core/common/ErrorDomain.h"
#include "core/common/PTTError.h"

// Failures of a dictation raised by the controller itself, in the "Kestrov.PTT" domain.
enum class PipelineError {
    recordingTooShort = 10,
    noVoiceActivity = 11,
    noSpeech = 12,
    emptyCommandResult = 13,
    // The service has no language model, so a spoken command cannot be applied to the selection.
    commandsNeedEditService = 14,
};

inline PTTError makePipelineError(PipelineError code, const QString& description) {
    return PTTError{ErrorDomain::pipeline, static_cast<int>(code), description};
}

inline bool isPipelineError(const PTTError& error, PipelineError code) {
    return error.domain == ErrorDomain::pipeline && error.code == static_cast<int>(code);
}
