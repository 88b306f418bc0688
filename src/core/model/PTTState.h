#pragma once

#include "core/model/EnumTraits.h"

#include <array>

enum class PTTState { idle, recording, transcribing };

template <>
struct EnumTraits<PTTState> {
    static constexpr std::array<EnumCase<PTTState>, 3> cases{{
        {PTTState::idle, "idle", "Idle", ""},
        {PTTState::recording, "recording", "Recording", ""},
        {PTTState::transcribing, "transcribing", "Transcribing", ""},
    }};
};
