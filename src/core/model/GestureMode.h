#pragma once

#include "core/model/EnumTraits.h"

#include <array>

enum class GestureMode { pushToTalk, toggle };

template <>
struct EnumTraits<GestureMode> {
    static constexpr std::array<EnumCase<GestureMode>, 2> cases{{
        {GestureMode::pushToTalk, "pushToTalk", "Hold to talk, release to send", ""},
        {GestureMode::toggle, "toggle", "Tap to start, tap to stop", ""},
    }};
};
