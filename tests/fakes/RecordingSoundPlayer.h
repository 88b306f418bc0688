#pragma once

#include "ports/SoundPlayer.h"

#include <QStringList>

class RecordingSoundPlayer final : public SoundPlayer {
public:
    void play(const QString& soundName) override { m_played << soundName; }
    const QStringList& played() const { return m_played; }
    void clear() { m_played.clear(); }

private:
    QStringList m_played;
};
