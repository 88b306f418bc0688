#pragma once

#include "core/common/Result.h"
#include "server/engines/ChatPrompt.h"

#include <string>

// A language model that answers one prompt. Called from many request threads at once; failures
// are service errors like those of TranscriptionEngine.
class ChatEngine {
public:
    virtual ~ChatEngine() = default;

    virtual Result<std::string> complete(const ChatPrompt& prompt) = 0;
    virtual std::string describe() const = 0;
};
