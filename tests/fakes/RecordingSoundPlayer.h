#pragma once

#include "ServiceCallLog.h"
#include "core/ports/SoundPlayer.h"

// Records the sounds played.
class RecordingSoundPlayer final : public SoundPlayer {
public:
    void play(const QString& soundName) override {
        played.append(soundName);
        logCall(log, QStringLiteral("sound:") + soundName);
    }

    QStringList played;
    ServiceCallLog* log = nullptr;
};
