#include "WavBytes.h"
#include "wav/AudioNormalizer.h"
#include "wav/WavEncoder.h"
#include "wav/WavParser.h"

#include <QTest>

#include <cmath>

namespace {

std::string_view view(const QByteArray& bytes) {
    return {bytes.constData(), std::size_t(bytes.size())};
}

// Upward zero crossings per second: the frequency of a clean tone.
double frequencyOf(const AudioClip& clip) {
    int crossings = 0;
    for (std::size_t i = 1; i < clip.samples.size(); ++i) {
        crossings += clip.samples[i - 1] < 0 && clip.samples[i] >= 0 ? 1 : 0;
    }
    return crossings / clip.durationSeconds();
}

int peakOf(const AudioClip& clip) {
    int peak = 0;
    for (const std::int16_t sample : clip.samples) {
        peak = std::max(peak, std::abs(int(sample)));
    }
    return peak;
}

QByteArray withChunkBeforeData(const QByteArray& wav, const QByteArray& id, const QByteArray& payload) {
    QByteArray chunk = id;
    chunk.append(4, '\0');
    WavBytes::putU32(chunk, 4, std::uint32_t(payload.size()));
    chunk.append(payload);
    if (payload.size() % 2) {
        chunk.append('\0');
    }
    QByteArray result = wav.left(36) + chunk + wav.mid(36);
    WavBytes::putU32(result, 4, std::uint32_t(result.size() - 8));
    return result;
}

} // namespace

// The WAV reader and the conversion to what the recognisers take. Refusals over HTTP are in the
// server's integration tests; these are the formats that must come through intact.
class tst_WavParser : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void formatsBecomeTheRecognisersFormat_data();
    void formatsBecomeTheRecognisersFormat();
    void extraChunksAndPaddingAreSkipped();
    void extensibleHeaderIsRead();
    void samplesSurviveARoundTrip();
    void refusals_data();
    void refusals();
};

void tst_WavParser::formatsBecomeTheRecognisersFormat_data() {
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("bits");
    QTest::newRow("16 kHz mono 16-bit") << 1 << 1 << 16000 << 16;
    QTest::newRow("8-bit unsigned") << 1 << 1 << 16000 << 8;
    QTest::newRow("24-bit") << 1 << 1 << 48000 << 24;
    QTest::newRow("32-bit integer") << 1 << 1 << 16000 << 32;
    QTest::newRow("float") << 3 << 1 << 22050 << 32;
    QTest::newRow("stereo 44.1 kHz") << 1 << 2 << 44100 << 16;
    QTest::newRow("8 kHz") << 1 << 1 << 8000 << 16;
}

void tst_WavParser::formatsBecomeTheRecognisersFormat() {
    QFETCH(int, tag);
    QFETCH(int, channels);
    QFETCH(int, rate);
    QFETCH(int, bits);
    const QByteArray wav = WavBytes::tone(
        {std::uint16_t(tag), std::uint16_t(channels), std::uint32_t(rate), std::uint16_t(bits)}, 1.0);
    const auto audio = WavParser::parse(view(wav));
    QVERIFY(audio.ok());
    QCOMPARE(audio->sampleRate, rate);
    QCOMPARE(audio->channels, channels);
    QCOMPARE(audio->durationSeconds(), 1.0);

    const auto clip = AudioNormalizer::toClip(audio.value());
    QVERIFY(clip.ok());
    QVERIFY(std::abs(double(clip->samples.size()) - 16000.0) <= 16);
    // The tone keeps its pitch and its level (half of full scale) through every conversion.
    QVERIFY2(std::abs(frequencyOf(clip.value()) - 440.0) < 3.0,
             qPrintable(QString::number(frequencyOf(clip.value()))));
    QVERIFY2(std::abs(peakOf(clip.value()) - 16384) < 700, qPrintable(QString::number(peakOf(clip.value()))));
}

void tst_WavParser::extraChunksAndPaddingAreSkipped() {
    const QByteArray plain = WavBytes::tone({}, 0.25);
    // An odd-sized chunk is followed by a pad byte that its size does not count.
    const QByteArray withList = withChunkBeforeData(plain, "LIST", "INFOISFT\x03\0\0\0abc");
    const auto audio = WavParser::parse(view(withList));
    QVERIFY2(audio.ok(), audio.ok() ? "" : qPrintable(audio.error().description));
    QCOMPARE(audio->frameCount(), std::size_t(4000));
    QCOMPARE(audio->data, view(plain).substr(44));

    // Some writers leave the pad byte of an odd final chunk out of the RIFF size; others append
    // bytes after the RIFF; neither hides the samples.
    QByteArray odd = WavBytes::file({1, 1, 16000, 8}, QByteArray(3, '\x80'));
    odd.append('\0');
    QVERIFY(WavParser::parse(view(odd)).ok());
    QByteArray trailing = plain + QByteArray("junk after the file");
    const auto trimmed = WavParser::parse(view(trailing));
    QVERIFY(trimmed.ok());
    QCOMPARE(trimmed->frameCount(), std::size_t(4000));
}

void tst_WavParser::extensibleHeaderIsRead() {
    const QByteArray plain = WavBytes::tone({1, 2, 48000, 24}, 0.1);
    QByteArray extensible = plain.left(12);
    extensible.append("fmt ");
    extensible.append(4, '\0');
    WavBytes::putU32(extensible, 16, 40);
    QByteArray format = plain.mid(20, 16);
    WavBytes::putU16(format, 0, 0xFFFE);
    format.append(QByteArray::fromHex("1600"
                                      "1800"
                                      "03000000"
                                      "0100"
                                      "000000001000800000aa00389b71"));
    extensible.append(format);
    extensible.append(plain.mid(36));
    WavBytes::putU32(extensible, 4, std::uint32_t(extensible.size() - 8));

    const auto audio = WavParser::parse(view(extensible));
    QVERIFY2(audio.ok(), audio.ok() ? "" : qPrintable(audio.error().description));
    QCOMPARE(audio->format, SampleFormat::signed24);
    QCOMPARE(audio->channels, 2);

    // The same header with a sub-format outside the WAVE family is not guessed at.
    QByteArray foreign = extensible;
    foreign[20 + 24 + 2] = 0x7F;
    const auto refused = WavParser::parse(view(foreign));
    QVERIFY(!refused.ok());
    QCOMPARE(refused.error().code, 415);
}

void tst_WavParser::samplesSurviveARoundTrip() {
    AudioClip clip;
    for (int i = 0; i < 1000; ++i) {
        clip.samples.push_back(std::int16_t((i * 977) % 65536 - 32768));
    }
    const std::string wav = WavEncoder::encode(clip);
    const auto audio = WavParser::parse(wav);
    QVERIFY(audio.ok());
    QVERIFY(audio->isRecognizerFormat());
    const auto back = AudioNormalizer::toClip(audio.value());
    QVERIFY(back.ok());
    QVERIFY(back->samples == clip.samples);
}

void tst_WavParser::refusals_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("reason");
    const QByteArray good = WavBytes::tone({}, 0.1);
    QTest::newRow("too short for a header")
        << QByteArray("RIFF\0\0") << 400 << QStringLiteral("not a WAV file");
    QTest::newRow("RIFF but not WAVE")
        << QByteArray("RIFF\x04\0\0\0AVI ") << 400 << QStringLiteral("not a WAV file");
    QTest::newRow("data before fmt") << QByteArray("RIFF\x0c\0\0\0WAVEdata\0\0\0\0", 20) << 400
                                     << QStringLiteral("before the fmt chunk");
    QTest::newRow("no data chunk") << good.left(36).replace(4, 4, QByteArray("\x1c\0\0\0", 4)) << 400
                                   << QStringLiteral("no data chunk");
    QByteArray partialFrame = WavBytes::file({1, 2, 16000, 16}, QByteArray(6, '\0'));
    QTest::newRow("half a frame") << partialFrame << 400 << QStringLiteral("whole number of frames");
    QTest::newRow("nine channels") << WavBytes::file({1, 9, 16000, 16}, QByteArray(18, '\0')) << 415
                                   << QStringLiteral("9 channels");
    QTest::newRow("64-bit integers") << WavBytes::file({1, 1, 16000, 64}, QByteArray(8, '\0')) << 415
                                     << QStringLiteral("64-bit PCM");
}

void tst_WavParser::refusals() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    QFETCH(QString, reason);
    const auto audio = WavParser::parse(view(bytes));
    QVERIFY(!audio.ok());
    QCOMPARE(audio.error().code, status);
    QVERIFY2(audio.error().description.contains(reason), qPrintable(audio.error().description));
}

QTEST_GUILESS_MAIN(tst_WavParser)
#include "tst_WavParser.moc"
