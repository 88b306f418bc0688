#include "WavBytes.h"

#include <cmath>
#include <cstring>

namespace WavBytes {

namespace {

void appendLittleEndian(QByteArray& bytes, std::uint64_t value, int count) {
    for (int i = 0; i < count; ++i) {
        bytes.append(char((value >> (8 * i)) & 0xFF));
    }
}

} // namespace

void putU16(QByteArray& bytes, int at, std::uint16_t value) {
    bytes[at] = char(value & 0xFF);
    bytes[at + 1] = char(value >> 8);
}

void putU32(QByteArray& bytes, int at, std::uint32_t value) {
    putU16(bytes, at, std::uint16_t(value & 0xFFFF));
    putU16(bytes, at + 2, std::uint16_t(value >> 16));
}

QByteArray file(const Format& format, const QByteArray& data) {
    const std::uint32_t blockAlign = std::uint32_t(format.channels) * format.bitsPerSample / 8;
    QByteArray bytes("RIFF");
    appendLittleEndian(bytes, 36 + std::uint32_t(data.size()), 4);
    bytes.append("WAVEfmt ");
    appendLittleEndian(bytes, 16, 4);
    appendLittleEndian(bytes, format.tag, 2);
    appendLittleEndian(bytes, format.channels, 2);
    appendLittleEndian(bytes, format.sampleRate, 4);
    appendLittleEndian(bytes, format.sampleRate * blockAlign, 4);
    appendLittleEndian(bytes, blockAlign, 2);
    appendLittleEndian(bytes, format.bitsPerSample, 2);
    bytes.append("data");
    appendLittleEndian(bytes, std::uint32_t(data.size()), 4);
    bytes.append(data);
    return bytes;
}

QByteArray tone(const Format& format, double seconds, double frequency) {
    QByteArray data;
    const auto frames = std::size_t(seconds * format.sampleRate);
    for (std::size_t frame = 0; frame < frames; ++frame) {
        const double value = 0.5 * std::sin(2 * M_PI * frequency * double(frame) / format.sampleRate);
        for (int channel = 0; channel < format.channels; ++channel) {
            if (format.tag == 3) {
                const float sample = float(value);
                std::uint32_t bits = 0;
                std::memcpy(&bits, &sample, sizeof bits);
                appendLittleEndian(data, bits, 4);
            } else if (format.bitsPerSample == 8) {
                data.append(char(std::lround(128 + value * 127)));
            } else {
                const int bits = format.bitsPerSample;
                const auto scaled =
                    std::int64_t(std::llround(value * double((std::int64_t(1) << (bits - 1)) - 1)));
                appendLittleEndian(data, std::uint64_t(scaled), bits / 8);
            }
        }
    }
    return file(format, data);
}

} // namespace WavBytes
