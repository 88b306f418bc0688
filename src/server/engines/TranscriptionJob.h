#pragma once

#include "LanguageHint.h"
#include "wav/AudioClip.h"

#include <string>

// One transcription as an engine sees it: the audio and the user's hints.
struct TranscriptionJob {
    const AudioClip& audio;
    LanguageHint language;
    std::string prompt; // unusual words the recogniser should expect; may be empty
};
