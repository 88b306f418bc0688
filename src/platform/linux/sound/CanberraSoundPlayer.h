#pragma once

#include "core/ports/SoundPlayer.h"

#include <QString>

struct ca_context;

// Event sounds of the freedesktop sound theme through libcanberra, which plays them on the sound
// server without blocking. The system's sound names map to theme sounds ("Tink" → a short click,
// "Pop" → completion, "Basso" → error); any other name is taken as a theme sound id. A missing
// theme, sound or server is silence.
class CanberraSoundPlayer final : public SoundPlayer {
public:
    CanberraSoundPlayer();
    ~CanberraSoundPlayer() override;
    CanberraSoundPlayer(const CanberraSoundPlayer&) = delete;
    CanberraSoundPlayer& operator=(const CanberraSoundPlayer&) = delete;

    void play(const QString& soundName) override;

    // The theme sound id a system sound name plays.
    static QString themeSoundId(const QString& soundName);

private:
    ca_context* m_context = nullptr;
};
