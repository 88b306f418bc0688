#include "core/audio/WavFile.h"

#include <QtEndian>

#include <algorithm>
#include <limits>

namespace {

// Four ASCII characters, without a terminator.
void putTag(char* at, const char (&tag)[5]) {
    std::copy_n(tag, 4, at);
}

void put16(char* at, quint16 value) {
    qToLittleEndian(value, at);
}

void put32(char* at, quint32 value) {
    qToLittleEndian(value, at);
}

void writeHeader(char* out, quint32 dataBytes) {
    putTag(out, "RIFF");
    put32(out + 4, 36 + dataBytes);
    putTag(out + 8, "WAVE");
    putTag(out + 12, "fmt ");
    put32(out + 16, 16);
    put16(out + 20, 1); // integer PCM
    put16(out + 22, 1); // mono
    put32(out + 24, WavFile::sampleRate);
    put32(out + 28, WavFile::sampleRate * 2);
    put16(out + 32, 2);
    put16(out + 34, 16);
    putTag(out + 36, "data");
    put32(out + 40, dataBytes);
}

} // namespace

namespace WavFile {

QByteArray header(quint32 dataBytes) {
    QByteArray bytes(headerSize, Qt::Uninitialized);
    writeHeader(bytes.data(), dataBytes);
    return bytes;
}

QByteArray fromSamples(std::span<const qint16> samples) {
    // The 32-bit sizes cannot describe more (about 37 hours of audio); the rest is not kept.
    constexpr std::size_t maxSamples = (std::numeric_limits<quint32>::max() - 36) / 2;
    const std::size_t count = std::min(samples.size(), maxSamples);
    const auto dataBytes = static_cast<quint32>(count * 2);
    QByteArray bytes(headerSize + static_cast<qsizetype>(dataBytes), Qt::Uninitialized);
    char* out = bytes.data();
    writeHeader(out, dataBytes);
    if (count > 0) { // an empty span may have no storage at all
        qToLittleEndian<qint16>(samples.data(), static_cast<qsizetype>(count), out + headerSize);
    }
    return bytes;
}

} // namespace WavFile
