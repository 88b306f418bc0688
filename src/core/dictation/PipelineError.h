#pragma once

#include "core/common/ErrorDomain.h"

// Failures of a dictation raised by the controller itself, in the "Kestrov.PTT" domain.
enum class PipelineError {
    // A dictionary entry or snippet was saved with an empty field.
    incompleteEntry = 0,
    recordingTooShort = 10,
    noVoiceActivity = 11,
    noSpeech = 12,
    emptyCommandResult = 13,
    // The service has no language model, so a spoken command cannot be applied to the selection.
    commandsNeedEditService = 14,
};

inline const QString& errorDomain(PipelineError) {
    return ErrorDomain::pipeline;
}
