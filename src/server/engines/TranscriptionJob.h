#pragma once

#include "server/engines/LanguageHint.h"
#include "server/wav/AudioClip.h"

#include <functional>
#include <string>

// One transcription as an engine sees it: the audio and the user's hints.
struct TranscriptionJob {
    const AudioClip& audio;
    LanguageHint language;
    std::string prompt; // unusual words the recogniser should expect; may be empty
    // True once nobody waits for the answer (the client hung up): long work may stop early.
    std::function<bool()> cancelled = [] { return false; };
};
