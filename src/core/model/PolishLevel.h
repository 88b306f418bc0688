#pragma once

#include "core/model/EnumTraits.h"

#include <array>

enum class PolishLevel { off, light, medium, professional };

template <>
struct EnumTraits<PolishLevel> {
    static constexpr std::array<EnumCase<PolishLevel>, 4> cases{{
        {PolishLevel::off, "off", "Off", "No changes. Raw dictation as-is."},
        {PolishLevel::light, "light", "Light", "Removes filler words and fixes punctuation."},
        {PolishLevel::medium, "medium", "Medium", "Fixes grammar, self-corrections, and punctuation."},
        {PolishLevel::professional, "professional", "Professional Tone",
         "Rewrites for clarity with a professional tone."},
    }};
};
