#pragma once

#include "core/overlay/OverlayState.h"

#include <QString>

#include <optional>

// The overlay as the dictation controller drives it. Calls are cheap; main thread only.
class IOverlayController {
public:
    virtual ~IOverlayController() = default;

    virtual void show(const QString& text, OverlayState state) = 0;
    // Without a state, the state is derived from the text.
    virtual void update(const QString& text, std::optional<OverlayState> state = std::nullopt) = 0;
    virtual void hide(double afterSeconds) = 0;

    // The live microphone level in [0, 1].
    virtual void setAudioLevel(float level) = 0;
};
