#pragma once

#include <QString>

// Short feedback sounds, best effort: a missing sound theme or sound server is silent, never an
// error. Names are the system's: "Tink" (recording delivered), "Pop" (done), "Basso" (error).
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;

    virtual void play(const QString& soundName) = 0;
};
