#pragma once

#include "core/model/EnumTraits.h"

#include <array>

enum class PromptPruneLevel { light, medium, max };

template <>
struct EnumTraits<PromptPruneLevel> {
    static constexpr std::array<EnumCase<PromptPruneLevel>, 3> cases{{
        {PromptPruneLevel::light, "light", "Light",
         "Cleans up filler words and pleasantries. Keeps your natural phrasing."},
        {PromptPruneLevel::medium, "medium", "Medium",
         "Condenses into direct, concise prompts. Good balance of clarity and brevity."},
        {PromptPruneLevel::max, "max", "Max",
         "Telegraphic style. Maximum token savings, zero loss of meaning."},
    }};
};
