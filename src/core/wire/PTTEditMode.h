#pragma once

#include "core/model/EnumTraits.h"

#include <array>

enum class PTTEditMode { selfCorrection, backtrack, selectionCommand, promptPrune };

template <>
struct EnumTraits<PTTEditMode> {
    static constexpr std::array<EnumCase<PTTEditMode>, 4> cases{{
        {PTTEditMode::selfCorrection, "self_correction", "Polish", ""},
        {PTTEditMode::backtrack, "backtrack", "Backtrack", ""},
        {PTTEditMode::selectionCommand, "selection_command", "Selection command", ""},
        {PTTEditMode::promptPrune, "prompt_prune", "Prompt condensing", ""},
    }};
};
