#pragma once

#include <QByteArray>
#include <QtEndian>

// WAV bytes put together chunk by chunk, so a test can build odd files as easily as plain ones.
namespace TestWav {

inline QByteArray le(quint32 value, int size = 4) {
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes.left(size);
}

inline QByteArray riff(const QByteArray& chunks) {
    return "RIFF" + le(static_cast<quint32>(4 + chunks.size())) + "WAVE" + chunks;
}

inline QByteArray format(quint16 tag, quint16 channels, quint32 rate, quint16 bits) {
    const quint32 frameSize = channels * bits / 8;
    return "fmt " + le(16) + le(tag, 2) + le(channels, 2) + le(rate) + le(rate * frameSize) +
           le(frameSize, 2) + le(bits, 2);
}

// `count` 16-bit samples of a square wave whose RMS is `amplitude`.
inline QByteArray samples(qsizetype count, qint16 amplitude) {
    QByteArray data;
    for (qsizetype i = 0; i < count; ++i) {
        data += le(static_cast<quint16>(i % 2 == 0 ? amplitude : -amplitude), 2);
    }
    return data;
}

// 16 kHz mono 16-bit PCM, as the microphone records it.
inline QByteArray mono16k(double seconds, qint16 amplitude) {
    const QByteArray data = samples(static_cast<qsizetype>(seconds * 16000), amplitude);
    return riff(format(1, 1, 16000, 16) + "data" + le(static_cast<quint32>(data.size())) + data);
}

} // namespace TestWav
