#pragma once

#include <QByteArray>

#include <cstdint>
#include <vector>

// WAV files built byte by byte, so a test can make any header it needs, honest or not.
namespace WavBytes {

struct Format {
    std::uint16_t tag = 1; // PCM
    std::uint16_t channels = 1;
    std::uint32_t sampleRate = 16000;
    std::uint16_t bitsPerSample = 16;
};

// A canonical file: RIFF, "fmt " (16 bytes), "data" holding `data`.
QByteArray file(const Format& format, const QByteArray& data);
// `seconds` of a 440 Hz tone at half scale in `format` (PCM 8/16/24/32 or float 32).
QByteArray tone(const Format& format, double seconds, double frequency = 440.0);

void putU16(QByteArray& bytes, int at, std::uint16_t value);
void putU32(QByteArray& bytes, int at, std::uint32_t value);

} // namespace WavBytes
