#include "AudioSignal.h"
#include "audio/PcmNormalizer.h"
#include "audio/SampleConverter.h"
#include "audio/SampleRing.h"
#include "audio/VoiceActivity.h"
#include "audio/WavFile.h"

#include <QTest>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

struct CollectingSink final : SampleConverter::Sink {
    void write(const qint16* data, std::size_t count) override {
        samples.insert(samples.end(), data, data + count);
    }
    std::vector<qint16> samples;
};

// Converts float frames to the format's sample type, as a sound server would hand them over.
std::vector<std::uint8_t> encode(const std::vector<float>& frames, AudioFormat::SampleType type) {
    std::vector<std::uint8_t> bytes(frames.size() * (type == AudioFormat::SampleType::int16 ? 2 : 4));
    for (std::size_t index = 0; index < frames.size(); ++index) {
        switch (type) {
        case AudioFormat::SampleType::int16:
            reinterpret_cast<qint16*>(bytes.data())[index] =
                static_cast<qint16>(std::lrint(std::clamp(frames[index] * 32768.0, -32768.0, 32767.0)));
            break;
        case AudioFormat::SampleType::int32:
            reinterpret_cast<qint32*>(bytes.data())[index] = static_cast<qint32>(
                std::llrint(std::clamp(frames[index] * 2147483648.0, -2147483648.0, 2147483647.0)));
            break;
        case AudioFormat::SampleType::float32:
            reinterpret_cast<float*>(bytes.data())[index] = frames[index];
            break;
        }
    }
    return bytes;
}

std::vector<qint16> convertAll(SampleConverter& converter, const std::vector<float>& frames,
                               const AudioFormat& format, std::size_t framesPerBuffer) {
    const std::vector<std::uint8_t> bytes = encode(frames, format.sampleType);
    const std::size_t frameBytes = bytes.size() / (frames.size() / static_cast<std::size_t>(format.channels));
    const std::size_t total = frames.size() / static_cast<std::size_t>(format.channels);
    CollectingSink sink;
    converter.prepare(format.sampleRate);
    for (std::size_t first = 0; first < total; first += framesPerBuffer) {
        const std::size_t count = std::min(framesPerBuffer, total - first);
        if (!converter.convert(bytes.data() + first * frameBytes, count, format, sink)) {
            return {};
        }
    }
    converter.flush(sink);
    return sink.samples;
}

double rmsOf(const std::vector<qint16>& samples, std::size_t from, std::size_t to) {
    double sum = 0;
    for (std::size_t index = from; index < to; ++index) {
        sum += double(samples[index]) * samples[index];
    }
    return std::sqrt(sum / double(to - from));
}

int risingZeroCrossings(const std::vector<qint16>& samples, std::size_t from, std::size_t to) {
    int crossings = 0;
    for (std::size_t index = from + 1; index < to; ++index) {
        crossings += samples[index - 1] < 0 && samples[index] >= 0;
    }
    return crossings;
}

QByteArray wavOfConstant(qint16 value, int count) {
    return WavFile::fromSamples(std::vector<qint16>(std::size_t(count), value));
}

} // namespace

class tst_AudioProcessing : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void conversion_data();
    void conversion();
    void conversionEdges();
    void normalization_data();
    void normalization();
    void wavHeader();
    void voiceActivity_data();
    void voiceActivity();
    void ringHandsOverInOrder();
};

void tst_AudioProcessing::conversion_data() {
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<AudioFormat::SampleType>("type");
    QTest::addColumn<int>("framesPerBuffer");

    QTest::newRow("48 kHz mono int16") << 48000 << 1 << AudioFormat::SampleType::int16 << 480;
    QTest::newRow("44.1 kHz stereo float") << 44100 << 2 << AudioFormat::SampleType::float32 << 441;
    QTest::newRow("48 kHz stereo int32, large buffers")
        << 48000 << 2 << AudioFormat::SampleType::int32 << 2048;
    QTest::newRow("96 kHz six channels float") << 96000 << 6 << AudioFormat::SampleType::float32 << 1000;
    QTest::newRow("8 kHz mono float, upsampled") << 8000 << 1 << AudioFormat::SampleType::float32 << 160;
    QTest::newRow("16 kHz mono int16, odd buffers") << 16000 << 1 << AudioFormat::SampleType::int16 << 333;
}

void tst_AudioProcessing::conversion() {
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(AudioFormat::SampleType, type);
    QFETCH(int, framesPerBuffer);

    // One second of 440 Hz at half scale.
    SampleConverter converter;
    const AudioFormat format{rate, channels, type};
    const std::vector<qint16> out = convertAll(converter, AudioSignal::sine(440, 0.5, rate, channels, 1.0),
                                               format, std::size_t(framesPerBuffer));

    QVERIFY2(std::abs(int(out.size()) - 16000) <= 1, qPrintable(QString::number(out.size())));
    // Away from the filter's edges the tone keeps its level and its pitch.
    QVERIFY(std::abs(rmsOf(out, 1600, 14400) - 0.5 / std::sqrt(2.0) * 32768) < 0.01 * 11585);
    QVERIFY(std::abs(risingZeroCrossings(out, 0, 16000) - 440) <= 1);
    QCOMPARE(converter.inputRate(), rate);
}

void tst_AudioProcessing::conversionEdges() {
    {
        // At the target rate, integer samples pass through exactly.
        SampleConverter converter;
        const std::vector<qint16> in{0, 1, -1, 32767, -32768, 1234};
        CollectingSink sink;
        converter.prepare(16000);
        QVERIFY(converter.convert(in.data(), in.size(), {16000, 1, AudioFormat::SampleType::int16}, sink));
        converter.flush(sink);
        QCOMPARE(sink.samples, in);
    }
    {
        // Clipped float input saturates, never wraps; NaN becomes silence and does not spread.
        SampleConverter converter;
        const std::vector<float> in{1.5f, -1.5f, 1.0f, std::numeric_limits<float>::quiet_NaN(), 0.25f};
        CollectingSink sink;
        QVERIFY(converter.convert(in.data(), in.size(), {16000, 1, AudioFormat::SampleType::float32}, sink));
        QCOMPARE(sink.samples, (std::vector<qint16>{32767, -32768, 32767, 0, 8192}));
    }
    {
        // Channels are averaged: a stereo pair in opposite phase cancels.
        SampleConverter converter;
        std::vector<float> in = AudioSignal::sine(440, 0.5, 48000, 2, 0.5);
        for (std::size_t index = 1; index < in.size(); index += 2) {
            in[index] = -in[index];
        }
        const std::vector<qint16> out =
            convertAll(converter, in, {48000, 2, AudioFormat::SampleType::float32}, 480);
        QCOMPARE(int(out.size()), 8000);
        QVERIFY(rmsOf(out, 0, out.size()) < 2);
    }
    {
        // Formats that cannot be converted are refused; the converter keeps working afterwards.
        SampleConverter converter;
        const std::vector<float> in(64, 0.1f);
        CollectingSink sink;
        QVERIFY(!converter.convert(in.data(), 64, {16000, 0, AudioFormat::SampleType::float32}, sink));
        QVERIFY(!converter.convert(in.data(), 64, {0, 1, AudioFormat::SampleType::float32}, sink));
        QVERIFY(!converter.convert(in.data(), 64, {5'000'000, 1, AudioFormat::SampleType::float32}, sink));
        QVERIFY(!converter.convert(nullptr, 64, {16000, 1, AudioFormat::SampleType::float32}, sink));
        QVERIFY(sink.samples.empty());
        QVERIFY(converter.convert(in.data(), 64, {16000, 1, AudioFormat::SampleType::float32}, sink));
        QCOMPARE(sink.samples.size(), std::size_t(64));
    }
    {
        // A second stream after prepare() starts clean: no tail of the first one leaks into it.
        SampleConverter converter;
        const AudioFormat format{48000, 1, AudioFormat::SampleType::float32};
        convertAll(converter, AudioSignal::sine(440, 0.9, 48000, 1, 0.3), format, 480);
        const std::vector<qint16> second =
            convertAll(converter, AudioSignal::silence(48000, 1, 0.3), format, 480);
        QCOMPARE(int(second.size()), 4800);
        QVERIFY(std::all_of(second.begin(), second.end(), [](qint16 sample) { return sample == 0; }));
    }
}

void tst_AudioProcessing::normalization_data() {
    QTest::addColumn<QList<int>>("samples");
    QTest::addColumn<double>("targetLevel");
    QTest::addColumn<double>("gain");
    QTest::addColumn<QList<int>>("expected");

    QTest::newRow("silence stays") << QList<int>{0, 0, 0} << 0.8 << 1.0 << QList<int>{0, 0, 0};
    QTest::newRow("peak 1499 is noise") << QList<int>{1499, -200} << 0.8 << 1.0 << QList<int>{1499, -200};
    QTest::newRow("peak 1500 gets the 10x cap")
        << QList<int>{1500, -3} << 0.8 << 10.0 << QList<int>{15000, -30};
    QTest::newRow("peak 2000 gets the cap")
        << QList<int>{-2000, 1000} << 0.8 << 10.0 << QList<int>{-20000, 10000};
    QTest::newRow("peak 8000") << QList<int>{8000, -4000, 1} << 0.8 << 0.8 * 32767 / 8000
                               << QList<int>{26214, -13107, 3};
    QTest::newRow("peak 20000") << QList<int>{20000, -7} << 0.8 << 0.8 * 32767 / 20000
                                << QList<int>{26214, -9};
    QTest::newRow("peak 30000 is loud enough")
        << QList<int>{30000, -100} << 0.8 << 1.0 << QList<int>{30000, -100};
    QTest::newRow("-32768 counts as 32767")
        << QList<int>{-32768, 5000} << 0.8 << 1.0 << QList<int>{-32768, 5000};
    QTest::newRow("gain just under 1.1 is skipped") << QList<int>{23900} << 0.8 << 1.0 << QList<int>{23900};
    QTest::newRow("amplified samples clamp")
        << QList<int>{30000, -30000, 10} << 1.5 << 1.5 * 32767 / 30000 << QList<int>{32767, -32768, 16};
    QTest::newRow("empty") << QList<int>{} << 0.8 << 1.0 << QList<int>{};
}

void tst_AudioProcessing::normalization() {
    QFETCH(QList<int>, samples);
    QFETCH(double, targetLevel);
    QFETCH(double, gain);
    QFETCH(QList<int>, expected);

    std::vector<qint16> pcm(samples.cbegin(), samples.cend());
    QCOMPARE(PcmNormalizer::normalize(pcm, targetLevel), gain);
    QCOMPARE(QList<int>(pcm.cbegin(), pcm.cend()), expected);
}

void tst_AudioProcessing::wavHeader() {
    const QByteArray wav = WavFile::fromSamples(std::vector<qint16>{1, -2, 32767});
    const QByteArray expected = QByteArray::fromHex("52494646" // RIFF
                                                    "2a000000" // 36 + 6
                                                    "57415645" // WAVE
                                                    "666d7420" // "fmt "
                                                    "10000000" // 16
                                                    "0100"
                                                    "0100"     // PCM, mono
                                                    "803e0000" // 16000 Hz
                                                    "007d0000" // 32000 bytes/s
                                                    "0200"
                                                    "1000"     // block align 2, 16 bits
                                                    "64617461" // data
                                                    "06000000" // 6 bytes
                                                    "0100"
                                                    "feff"
                                                    "ff7f");
    QCOMPARE(wav.toHex(), expected.toHex());

    const QByteArray empty = WavFile::fromSamples({});
    QCOMPARE(empty.size(), WavFile::headerSize);
    QCOMPARE(empty, WavFile::header(0));
    QCOMPARE(empty.mid(40).toHex(), QByteArray("00000000"));
    QCOMPARE(empty.mid(4, 4).toHex(), QByteArray("24000000"));
}

void tst_AudioProcessing::voiceActivity_data() {
    QTest::addColumn<QByteArray>("wav");
    QTest::addColumn<bool>("voiced");

    QTest::newRow("header only") << WavFile::header(0) << false;
    QTest::newRow("header and one stray byte") << WavFile::header(1) + QByteArray(1, '\x7f') << false;
    QTest::newRow("shorter than a header") << QByteArray(10, '\x7f') << false;
    QTest::newRow("silence") << wavOfConstant(0, 16000) << false;
    QTest::newRow("level 300 is not above 300") << wavOfConstant(-300, 1000) << false;
    QTest::newRow("level 301") << wavOfConstant(301, 1000) << true;
    {
        std::vector<qint16> samples;
        for (float value : AudioSignal::noise(0.01, 16000, 1, 1.0)) {
            samples.push_back(static_cast<qint16>(value * 32768));
        }
        QTest::newRow("faint noise") << WavFile::fromSamples(samples) << false;
    }
    {
        std::vector<qint16> samples;
        for (float value : AudioSignal::sine(220, 0.05, 16000, 1, 1.0)) {
            samples.push_back(static_cast<qint16>(value * 32768));
        }
        QTest::newRow("speech-like tone") << WavFile::fromSamples(samples) << true;
    }
}

void tst_AudioProcessing::voiceActivity() {
    QFETCH(QByteArray, wav);
    QFETCH(bool, voiced);
    QCOMPARE(VoiceActivity::hasVoiceActivity(wav, 300.0), voiced);
}

void tst_AudioProcessing::ringHandsOverInOrder() {
    SampleRing ring(5); // rounded up to 8
    QCOMPARE(ring.capacity(), std::size_t(8));
    std::vector<qint16> out;
    const qint16 first[] = {1, 2, 3, 4, 5, 6};
    QCOMPARE(ring.write(first, 6), std::size_t(6));
    QCOMPARE(ring.readInto(out), std::size_t(6));
    // Wraps around the end of the storage, and refuses what does not fit.
    const qint16 second[] = {7, 8, 9, 10, 11, 12, 13, 14, 15};
    QCOMPARE(ring.write(second, 9), std::size_t(8));
    QCOMPARE(ring.write(second, 1), std::size_t(0));
    QCOMPARE(ring.readInto(out), std::size_t(8));
    QCOMPARE(out, (std::vector<qint16>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
    QCOMPARE(ring.readInto(out), std::size_t(0));
}

QTEST_GUILESS_MAIN(tst_AudioProcessing)
#include "tst_AudioProcessing.moc"
