#pragma once

#include "server/config/TranscriptionEngineKind.h"
#include "server/engines/ChatEngine.h"
#include "server/engines/TranscriptionEngine.h"

#include <memory>
#include <string>

// The engines one service answers with.
struct ServiceEngines {
    std::shared_ptr<TranscriptionEngine> transcription;  // English and automatic language hints
    std::shared_ptr<TranscriptionEngine> otherLanguages; // none: other languages get a 422
    std::shared_ptr<ChatEngine> chat;                    // none: edits get a 501
    // What the health answer tells: which recogniser answers English, and the host of the
    // OpenAI-compatible service when one is configured (empty otherwise).
    TranscriptionEngineKind kind = TranscriptionEngineKind::local;
    std::string upstreamHost;
};
