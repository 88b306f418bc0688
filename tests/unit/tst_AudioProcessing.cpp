#include "AudioSignal.h"
#include "core/audio/PcmNormalizer.h"
#include "core/audio/VoiceActivity.h"
#include "core/audio/WavFile.h"

#include <QTest>

#include <algorithm>
#include <vector>

namespace {

QByteArray wavOf(const std::vector<float>& signal) {
    std::vector<qint16> samples;
    for (const float value : signal) {
        samples.push_back(static_cast<qint16>(value * 32768));
    }
    return WavFile::fromSamples(samples);
}

} // namespace

class tst_AudioProcessing : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void normalization_data();
    void normalization();
    void longRecordingsScaleAlike();
    void wavHeader();
    void voiceActivity_data();
    void voiceActivity();
};

void tst_AudioProcessing::normalization_data() {
    QTest::addColumn<QList<int>>("samples");
    QTest::addColumn<double>("targetLevel");
    QTest::addColumn<double>("gain");
    QTest::addColumn<QList<int>>("expected");

    QTest::newRow("empty") << QList<int>{} << 0.8 << 1.0 << QList<int>{};
    QTest::newRow("peak 1499 is noise") << QList<int>{1499, -200} << 0.8 << 1.0 << QList<int>{1499, -200};
    QTest::newRow("peak 1500 gets the 10x cap")
        << QList<int>{-1500, 3} << 0.8 << 10.0 << QList<int>{-15000, 30};
    QTest::newRow("peak 8000") << QList<int>{8000, -4000, 1} << 0.8 << 0.8 * 32767 / 8000
                               << QList<int>{26214, -13107, 3};
    QTest::newRow("gain just under 1.1 is skipped") << QList<int>{23900} << 0.8 << 1.0 << QList<int>{23900};
    QTest::newRow("-32768 counts as 32767") << QList<int>{-32768, 10} << 1.5 << 1.5 << QList<int>{-32768, 15};
    QTest::newRow("amplified samples clamp")
        << QList<int>{30000, -30000, 10} << 1.5 << 1.5 * 32767 / 30000 << QList<int>{32767, -32768, 16};
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

void tst_AudioProcessing::longRecordingsScaleAlike() {
    // Every sample value from -7000 to 7000 and back, longer than the short-recording path takes.
    std::vector<qint16> ramp;
    for (int round = 0; round < 5; ++round) {
        for (int value = -7000; value <= 7000; ++value) {
            ramp.push_back(static_cast<qint16>(round % 2 ? -value : value));
        }
    }
    QVERIFY(ramp.size() > 65536);
    std::vector<qint16> head(ramp.begin(), ramp.begin() + 14001);
    const double gain = PcmNormalizer::normalize(ramp, 0.8);
    QCOMPARE(PcmNormalizer::normalize(head, 0.8), gain);
    QVERIFY(std::equal(head.begin(), head.end(), ramp.begin()));
    QCOMPARE(ramp.front(), qint16(-26214));
    QCOMPARE(ramp[7001], qint16(4)); // 1 x 3.745 rounds to 4
}

void tst_AudioProcessing::wavHeader() {
    // RIFF, 36 + 6 bytes, WAVE; "fmt ", 16, PCM, mono, 16 kHz, 32000 bytes/s, block align 2, 16 bits;
    // data, 6 bytes: 1, -2, 32767.
    const QByteArray expected("524946462a00000057415645"
                              "666d74201000000001000100803e0000007d000002001000"
                              "6461746106000000"
                              "0100feffff7f");
    QCOMPARE(WavFile::fromSamples(std::vector<qint16>{1, -2, 32767}).toHex(), expected);

    const QByteArray empty = WavFile::fromSamples({});
    QCOMPARE(empty, WavFile::header(0));
    QCOMPARE(empty.toHex().mid(8, 8) + '|' + empty.toHex().mid(80), QByteArray("24000000|00000000"));
}

void tst_AudioProcessing::voiceActivity_data() {
    QTest::addColumn<QByteArray>("wav");
    QTest::addColumn<bool>("voiced");

    QTest::newRow("shorter than a header") << QByteArray(10, '\x7f') << false;
    QTest::newRow("header and one stray byte") << WavFile::header(1) + QByteArray(1, '\x7f') << false;
    QTest::newRow("level 300 is not above 300")
        << WavFile::fromSamples(std::vector<qint16>(1000, -300)) << false;
    QTest::newRow("level 301") << WavFile::fromSamples(std::vector<qint16>(1000, 301)) << true;
    QTest::newRow("faint noise") << wavOf(AudioSignal::noise(0.01, 16000, 1, 1.0)) << false;
    QTest::newRow("speech-like tone") << wavOf(AudioSignal::sine(220, 0.05, 16000, 1, 1.0)) << true;
}

void tst_AudioProcessing::voiceActivity() {
    QFETCH(QByteArray, wav);
    QFETCH(bool, voiced);
    QCOMPARE(VoiceActivity::hasVoiceActivity(wav, 300.0), voiced);
}

QTEST_GUILESS_MAIN(tst_AudioProcessing)
#include "tst_AudioProcessing.moc"
