#pragma once

#include "core/model/EnumTraits.h"

#include <array>

enum class PromptPruneTarget { universal, claude, gpt, gemini, llama };

template <>
struct EnumTraits<PromptPruneTarget> {
    static constexpr std::array<EnumCase<PromptPruneTarget>, 5> cases{{
        {PromptPruneTarget::universal, "universal", "Universal",
         "Token reduction only. Works with any model."},
        {PromptPruneTarget::claude, "claude", "Claude",
         "Structured bullets, assumptions-first. Optimized for Anthropic Claude."},
        {PromptPruneTarget::gpt, "gpt", "GPT", "Terse imperatives, schema-ready. Optimized for OpenAI GPT."},
        {PromptPruneTarget::gemini, "gemini", "Gemini",
         "Ultra-short scoped prompts. Optimized for Google Gemini."},
        {PromptPruneTarget::llama, "llama", "Llama",
         "Task \u2192 Context \u2192 Output structure. Optimized for Meta Llama."},
    }};
};
