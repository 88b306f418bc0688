#pragma once

#include "core/ports/SoundPlayer.h"

// Silence.
class NullSoundPlayer final : public SoundPlayer {
public:
    void play(const QString&) override {}
};
