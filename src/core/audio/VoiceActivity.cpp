#include "core/audio/VoiceActivity.h"

#include "core/audio/WavFile.h"

#include <QtEndian>

#include <cmath>

namespace VoiceActivity {

double rms(const QByteArray& wavData) {
    const qsizetype count = (wavData.size() - WavFile::headerSize) / 2;
    if (count < 1) {
        return 0;
    }
    const char* samples = wavData.constData() + WavFile::headerSize;
    // Exact: a sum of squares of 16-bit values overflows 64 bits only after days of audio.
    qint64 sumOfSquares = 0;
    for (qsizetype index = 0; index < count; ++index) {
        const qint64 sample = qFromLittleEndian<qint16>(samples + 2 * index);
        sumOfSquares += sample * sample;
    }
    return std::sqrt(static_cast<double>(sumOfSquares) / static_cast<double>(count));
}

bool hasVoiceActivity(const QByteArray& wavData, double threshold) {
    if (wavData.size() - WavFile::headerSize < 2) {
        return false;
    }
    return rms(wavData) > threshold;
}

} // namespace VoiceActivity
