#pragma once

#include "server/engines/ChatEngine.h"
#include "server/engines/TranscriptionEngine.h"

#include <memory>

// The engines one service answers with.
struct ServiceEngines {
    std::shared_ptr<TranscriptionEngine> transcription;  // English and automatic language hints
    std::shared_ptr<TranscriptionEngine> otherLanguages; // none: other languages get a 422
    std::shared_ptr<ChatEngine> chat;                    // none: edits get a 501
};
