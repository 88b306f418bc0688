#include "WavBytes.h"
#include "server/wav/AudioNormalizer.h"
#include "server/wav/WavEncoder.h"
#include "server/wav/WavParser.h"

#include <QTest>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

std::string_view view(const QByteArray& bytes) {
    return {bytes.constData(), std::size_t(bytes.size())};
}

// `wav` with a chunk `id` holding `payload` (and its pad byte) inserted before the data chunk.
QByteArray withChunkBeforeData(const QByteArray& wav, const QByteArray& id, const QByteArray& payload) {
    QByteArray chunk = id + QByteArray(4, '\0') + payload + QByteArray(payload.size() % 2, '\0');
    WavBytes::putU32(chunk, 4, std::uint32_t(payload.size()));
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
    QTest::addColumn<WavBytes::Format>("format");
    QTest::newRow("8-bit unsigned") << WavBytes::Format{1, 1, 16000, 8};
    QTest::newRow("24-bit") << WavBytes::Format{1, 1, 48000, 24};
    QTest::newRow("float") << WavBytes::Format{3, 1, 22050, 32};
    QTest::newRow("stereo 44.1 kHz") << WavBytes::Format{1, 2, 44100, 16};
    QTest::newRow("8 kHz") << WavBytes::Format{1, 1, 8000, 16};
}

void tst_WavParser::formatsBecomeTheRecognisersFormat() {
    QFETCH(WavBytes::Format, format);
    const QByteArray wav = WavBytes::tone(format, 1.0);
    const auto audio = WavParser::parse(view(wav));
    QVERIFY(audio.ok());
    QVERIFY(audio->sampleRate == int(format.sampleRate) && audio->channels == format.channels);
    QCOMPARE(audio->durationSeconds(), 1.0);

    const auto clip = AudioNormalizer::toClip(audio.value());
    QVERIFY(clip.ok());
    QVERIFY(std::abs(double(clip->samples.size()) - 16000.0) <= 16);
    // The tone keeps its pitch (upward zero crossings) and its level (half of full scale).
    int crossings = 0;
    int peak = 0;
    for (std::size_t i = 1; i < clip->samples.size(); ++i) {
        crossings += clip->samples[i - 1] < 0 && clip->samples[i] >= 0 ? 1 : 0;
        peak = std::max(peak, std::abs(int(clip->samples[i])));
    }
    QVERIFY2(std::abs(crossings / clip->durationSeconds() - 440.0) < 3.0,
             qPrintable(QString::number(crossings)));
    QVERIFY2(std::abs(peak - 16384) < 700, qPrintable(QString::number(peak)));
}

void tst_WavParser::extraChunksAndPaddingAreSkipped() {
    const QByteArray plain = WavBytes::tone({}, 0.25);
    // An odd-sized chunk is followed by a pad byte that its size does not count.
    const QByteArray withList =
        withChunkBeforeData(plain, "LIST", "INFOISFT\x03"); // the parse points into it
    const auto audio = WavParser::parse(view(withList));
    QVERIFY2(audio.ok(), audio.ok() ? "" : qPrintable(audio.error().description));
    QCOMPARE(audio->frameCount(), std::size_t(4000));
    QCOMPARE(audio->data, view(plain).substr(44));

    // Some writers leave the pad byte of an odd final chunk out of the RIFF size; others append
    // bytes after the RIFF; neither hides the samples.
    QVERIFY(WavParser::parse(view(WavBytes::file({1, 1, 16000, 8}, QByteArray(3, '\x80')) + '\0')).ok());
    const QByteArray trailing = plain + QByteArray("junk after the file");
    const auto trimmed = WavParser::parse(view(trailing));
    QVERIFY(trimmed.ok());
    QCOMPARE(trimmed->frameCount(), std::size_t(4000));
}

void tst_WavParser::extensibleHeaderIsRead() {
    const QByteArray plain = WavBytes::tone({1, 2, 48000, 24}, 0.1);
    // WAVE_FORMAT_EXTENSIBLE: cbSize 22, 24 valid bits, front left and right, the PCM sub-format.
    QByteArray format =
        plain.mid(20, 16) + QByteArray::fromHex("16001800030000000100000000001000800000aa00389b71");
    WavBytes::putU16(format, 0, 0xFFFE);
    QByteArray extensible = plain.left(12) + "fmt " + QByteArray("\x28\0\0\0", 4) + format + plain.mid(36);
    WavBytes::putU32(extensible, 4, std::uint32_t(extensible.size() - 8));

    const auto audio = WavParser::parse(view(extensible));
    QVERIFY2(audio.ok(), audio.ok() ? "" : qPrintable(audio.error().description));
    QCOMPARE(audio->format, SampleFormat::signed24);
    QCOMPARE(audio->channels, 2);

    // The same header with a sub-format outside the WAVE family is not guessed at.
    extensible[20 + 24 + 2] = 0x7F;
    const auto refused = WavParser::parse(view(extensible));
    QVERIFY(!refused.ok());
    QCOMPARE(refused.error().code, 415);
}

void tst_WavParser::samplesSurviveARoundTrip() {
    AudioClip clip;
    for (int i = 0; i < 1000; ++i) {
        clip.samples.push_back(std::int16_t((i * 977) % 65536 - 32768));
    }
    const std::string wav = WavEncoder::encode(clip); // the parsed audio points into it
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
    QTest::newRow("too short for a header") << QByteArray("RIFF\0\0") << 400 << u"not a WAV file"_s;
    QTest::newRow("RIFF but not WAVE") << QByteArray("RIFF\x04\0\0\0AVI ") << 400 << u"not a WAV file"_s;
    QTest::newRow("data before fmt") << QByteArray("RIFF\x0c\0\0\0WAVEdata\0\0\0\0", 20) << 400
                                     << u"before the fmt chunk"_s;
    QTest::newRow("no data chunk") << good.left(36).replace(4, 4, QByteArray("\x1c\0\0\0", 4)) << 400
                                   << u"no data chunk"_s;
    QTest::newRow("half a frame") << WavBytes::file({1, 2, 16000, 16}, QByteArray(6, '\0')) << 400
                                  << u"whole number of frames"_s;
    const auto lying = [&](int at, std::uint32_t value) {
        QByteArray bytes = good;
        WavBytes::putU32(bytes, at, value);
        return bytes;
    };
    QTest::newRow("data size beyond the file") << lying(40, 10'000'000) << 400 << u"announces"_s;
    QTest::newRow("byte rate that does not add up") << lying(28, 44100) << 400 << u"byte rate"_s;
    QTest::newRow("block alignment that does not add up") // 4, then 16 bits
        << lying(32, 4 | (16 << 16)) << 400 << u"block alignment"_s;
    QTest::newRow("nine channels") << WavBytes::file({1, 9, 16000, 16}, QByteArray(18, '\0')) << 415
                                   << u"9 channels"_s;
    QTest::newRow("64-bit integers") << WavBytes::file({1, 1, 16000, 64}, QByteArray(8, '\0')) << 415
                                     << u"64-bit PCM"_s;
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
