#include "core/transcribe/RecordedWav.h"

#include "core/audio/AudioCaptureError.h"
#include "core/common/ErrorCode.h"
#include "core/common/FileError.h"

#include <QFile>
#include <QtEndian>

#include <cmath>

namespace {

PTTError notPcmWav(const QString& why) {
    return makeError(AudioCaptureError::notPcmWav, QStringLiteral("Not a 16-bit PCM WAV file: ") + why);
}

quint32 u32(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

quint16 u16(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

} // namespace

Result<RecordedWav> RecordedWav::fromFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return makeError(FileError::readNoSuchFile,
                         QStringLiteral("The file “%1” could not be read: %2").arg(path, file.errorString()));
    }
    return fromBytes(file.readAll());
}

Result<RecordedWav> RecordedWav::fromBytes(QByteArray bytes) {
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE") {
        return notPcmWav(QStringLiteral("no RIFF/WAVE header"));
    }
    RecordedWav wav;
    bool haveFormat = false;
    qsizetype at = 12;
    // Chunks may come in any order and carry a pad byte after an odd size.
    while (at + 8 <= bytes.size()) {
        const QByteArray id = bytes.mid(at, 4);
        const qsizetype size = u32(bytes, at + 4);
        const qsizetype body = at + 8;
        if (id == "fmt ") {
            if (size < 16 || body + 16 > bytes.size()) {
                return notPcmWav(QStringLiteral("short format chunk"));
            }
            const quint16 format = u16(bytes, body);
            const quint16 bits = u16(bytes, body + 14);
            // 0xFFFE is the extensible form; its sub-format is PCM for 16-bit recorders.
            if ((format != 1 && format != 0xFFFE) || bits != 16) {
                return notPcmWav(QStringLiteral("format %1 with %2-bit samples").arg(format).arg(bits));
            }
            wav.m_channels = u16(bytes, body + 2);
            wav.m_sampleRate = static_cast<int>(u32(bytes, body + 4));
            if (wav.m_channels < 1 || wav.m_sampleRate < 1) {
                return notPcmWav(QStringLiteral("no channels or no sample rate"));
            }
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat) {
                return notPcmWav(QStringLiteral("data before the format"));
            }
            wav.m_dataOffset = body;
            // Recorders that stream often leave the size unset; the file's end is the data's end.
            wav.m_dataSize = std::min<qsizetype>(size, bytes.size() - body);
            wav.m_bytes = std::move(bytes);
            return wav;
        }
        at = body + size + (size % 2);
    }
    return notPcmWav(QStringLiteral("no data chunk"));
}

qint64 RecordedWav::durationMs() const {
    const qint64 bytesPerSecond = static_cast<qint64>(m_sampleRate) * m_channels * 2;
    return bytesPerSecond > 0 ? m_dataSize * 1000 / bytesPerSecond : 0;
}

bool RecordedWav::hasVoiceActivity(const QByteArray& wavBytes, double threshold) {
    const auto wav = fromBytes(wavBytes);
    if (!wav) {
        return false;
    }
    const qsizetype samples = wav->m_dataSize / 2;
    if (samples < 1) {
        return false;
    }
    const char* data = wav->m_bytes.constData() + wav->m_dataOffset;
    double sumOfSquares = 0;
    for (qsizetype i = 0; i < samples; ++i) {
        const double sample = qFromLittleEndian<qint16>(data + 2 * i);
        sumOfSquares += sample * sample;
    }
    return std::sqrt(sumOfSquares / static_cast<double>(samples)) > threshold;
}
