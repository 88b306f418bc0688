#pragma once

#include "core/common/ErrorDomain.h"

// Codes of the "Kestrov.Audio" domain: microphone capture and the recordings it makes.
enum class AudioCaptureError {
    notAuthorized = 1,
    // A recording read back from a file is not 16-bit PCM; no caller tells it from notAuthorized.
    notPcmWav = 1,
    notRunning = 2,
    // The recording ended early or has a gap: what was captured is not the whole dictation.
    recordingIncomplete = 3,
    busy = 4,
    // A cancel arrived while the microphone was still being opened.
    cancelled = 5,
};

inline const QString& errorDomain(AudioCaptureError) {
    return ErrorDomain::audio;
}
