#pragma once

#include "core/common/Result.h"
#include "core/wire/PTTEditRequest.h"
#include "server/engines/ChatPrompt.h"

#include <optional>
#include <string>

// The instructions for each edit the app asks for. Each prompt is written for its job: a polish
// keeps the speaker's words and changes only what its level allows, a condensed prompt keeps every
// requirement, a command replaces the selection, and a backtrack never drops the earlier text
// (the app sends one for any dictation that merely starts with "no", "wait", "actually", ...).
// The user's texts travel in tagged blocks of the user message and are data, never instructions.
namespace EditPrompts {

// Fails with a 400 service error when the request lacks what its mode needs or names an unknown
// level or target.
Result<ChatPrompt> build(const PTTEditRequest& request);

// A request that needs no model at all: a polish at level "off" answers its input.
std::optional<std::string> answerWithoutModel(const PTTEditRequest& request);

} // namespace EditPrompts
