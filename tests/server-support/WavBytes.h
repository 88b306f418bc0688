#pragma once

#include "TestWav.h"

#include <cmath>
#include <cstdint>
#include <cstring>

// WAV files built byte by byte, so a test can make any header it needs, honest or not.
namespace WavBytes {

struct Format {
    std::uint16_t tag = 1; // PCM
    std::uint16_t channels = 1;
    std::uint32_t sampleRate = 16000;
    std::uint16_t bitsPerSample = 16;
};

inline void putU16(QByteArray& bytes, int at, std::uint16_t value) {
    bytes.replace(at, 2, TestWav::le(value, 2));
}
inline void putU32(QByteArray& bytes, int at, std::uint32_t value) {
    bytes.replace(at, 4, TestWav::le(value));
}

// A canonical file: RIFF, "fmt " (16 bytes), "data" holding `data`.
inline QByteArray file(const Format& format, const QByteArray& data) {
    return TestWav::riff(
        TestWav::format(format.tag, format.channels, format.sampleRate, format.bitsPerSample) + "data" +
        TestWav::le(std::uint32_t(data.size())) + data);
}

// `seconds` of a tone at half scale in `format` (PCM 8/16/24/32 or float 32).
inline QByteArray tone(const Format& format, double seconds, double frequency = 440.0) {
    const int size = format.bitsPerSample / 8;
    QByteArray data;
    for (qint64 frame = 0; frame < qint64(seconds * format.sampleRate); ++frame) {
        const double value = 0.5 * std::sin(2 * M_PI * frequency * double(frame) / format.sampleRate);
        std::uint32_t sample = 0;
        if (format.tag == 3) {
            const float real = float(value);
            std::memcpy(&sample, &real, sizeof sample);
        } else {
            const double scale = size == 1 ? 127 : double((qint64(1) << (format.bitsPerSample - 1)) - 1);
            sample = std::uint32_t(std::llround((size == 1 ? 128 : 0) + value * scale));
        }
        for (int channel = 0; channel < format.channels; ++channel) {
            data += TestWav::le(sample, size);
        }
    }
    return file(format, data);
}

} // namespace WavBytes
