#pragma once

#include <QByteArray>

#include <span>

// The recording's container: RIFF/WAVE, 16 kHz, mono, 16-bit signed little-endian PCM, with the
// canonical 44-byte header. The header always describes that format, whatever the microphone was.
namespace WavFile {

inline constexpr qsizetype headerSize = 44;
inline constexpr quint32 sampleRate = 16000;

QByteArray header(quint32 dataBytes);
QByteArray fromSamples(std::span<const qint16> samples);

} // namespace WavFile
