#pragma once

#include "core/common/Result.h"

#include <QByteArray>
#include <QString>

// A WAV file someone recorded, checked well enough to treat it as a dictation: RIFF/WAVE with a
// 16-bit PCM format chunk and a data chunk. Whether the service accepts its rate and channels is
// the service's to say.
class RecordedWav final {
public:
    static Result<RecordedWav> fromBytes(QByteArray bytes);
    static Result<RecordedWav> fromFile(const QString& path);

    const QByteArray& bytes() const { return m_bytes; }
    int sampleRate() const { return m_sampleRate; }
    int channels() const { return m_channels; }
    qint64 durationMs() const;

    // The silence test of a live recording, over this file's samples: the root mean square of
    // the raw 16-bit values above `threshold`.
    static bool hasVoiceActivity(const QByteArray& wavBytes, double threshold);

private:
    RecordedWav() = default;

    QByteArray m_bytes;
    int m_sampleRate = 0;
    int m_channels = 0;
    qsizetype m_dataOffset = 0;
    qsizetype m_dataSize = 0;
};
