#pragma once

#include "core/model/EnumTraits.h"

#include <array>

// What the island at the top of the screen shows.
enum class OverlayState { idle, recording, commandMode, transcribing, done, error };

template <>
struct EnumTraits<OverlayState> {
    static constexpr std::array<EnumCase<OverlayState>, 6> cases{{
        {OverlayState::idle, "idle", "Idle", ""},
        {OverlayState::recording, "recording", "Recording", ""},
        {OverlayState::commandMode, "commandMode", "Command Mode", ""},
        {OverlayState::transcribing, "transcribing", "Transcribing", ""},
        {OverlayState::done, "done", "Done", ""},
        {OverlayState::error, "error", "Error", ""},
    }};
};
