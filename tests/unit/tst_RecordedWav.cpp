#include "transcribe/RecordedWav.h"

#include <QTest>
#include <QtEndian>

namespace {

QByteArray le32(quint32 value) {
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray le16(quint16 value) {
    QByteArray bytes(2, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray formatChunk(quint16 format, quint16 channels, quint32 rate, quint16 bits) {
    return "fmt " + le32(16) + le16(format) + le16(channels) + le32(rate) + le32(rate * channels * bits / 8) +
           le16(static_cast<quint16>(channels * bits / 8)) + le16(bits);
}

QByteArray samples(qsizetype count, qint16 value) {
    QByteArray data;
    for (qsizetype i = 0; i < count; ++i) {
        data += le16(static_cast<quint16>(i % 2 == 0 ? value : -value));
    }
    return data;
}

QByteArray riff(const QByteArray& chunks) {
    return "RIFF" + le32(static_cast<quint32>(4 + chunks.size())) + "WAVE" + chunks;
}

} // namespace

class tst_RecordedWav : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void files_data();
    void files();
};

void tst_RecordedWav::files_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("durationMs");
    QTest::addColumn<bool>("voice");

    const QByteArray loud = samples(16000, 1000);
    QTest::newRow("16 kHz mono, 1 s")
        << riff(formatChunk(1, 1, 16000, 16) + "data" + le32(32000) + loud) << true << qint64(1000) << true;
    QTest::newRow("48 kHz stereo, 1/3 s")
        << riff(formatChunk(1, 2, 48000, 16) + "data" + le32(32000) + loud) << true << qint64(166) << true;
    QTest::newRow("odd chunk before the data")
        << riff(formatChunk(1, 1, 16000, 16) + "LIST" + le32(3) + "abc" + '\0' + "data" + le32(32000) + loud)
        << true << qint64(1000) << true;
    QTest::newRow("streamed, size unset")
        << riff(formatChunk(0xFFFE, 1, 16000, 16) + "data" + le32(0xFFFFFFFF) + loud) << true << qint64(1000)
        << true;
    QTest::newRow("quiet: RMS 300 is not above 300")
        << riff(formatChunk(1, 1, 16000, 16) + "data" + le32(32000) + samples(16000, 300)) << true
        << qint64(1000) << false;
    QTest::newRow("no samples") << riff(formatChunk(1, 1, 16000, 16) + "data" + le32(0)) << true << qint64(0)
                                << false;
    QTest::newRow("8-bit") << riff(formatChunk(1, 1, 16000, 8) + "data" + le32(4) + "abcd") << false
                           << qint64(0) << false;
    QTest::newRow("data before format")
        << riff("data" + le32(2) + "ab" + formatChunk(1, 1, 16000, 16)) << false << qint64(0) << false;
    QTest::newRow("chunk size past the end")
        << riff("JUNK" + le32(0xFFFFFFF0) + "x") << false << qint64(0) << false;
    QTest::newRow("not RIFF") << QByteArray("ID3\x04 an mp3") << false << qint64(0) << false;
}

void tst_RecordedWav::files() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QFETCH(qint64, durationMs);
    QFETCH(bool, voice);

    const auto wav = RecordedWav::fromBytes(bytes);
    QCOMPARE(wav.ok(), valid);
    if (valid) {
        QCOMPARE(wav->durationMs(), durationMs);
        QCOMPARE(wav->bytes(), bytes);
    } else {
        QVERIFY(wav.error().description.startsWith(QStringLiteral("Not a 16-bit PCM WAV file: ")));
    }
    QCOMPARE(RecordedWav::hasVoiceActivity(bytes, 300.0), voice);
}

QTEST_GUILESS_MAIN(tst_RecordedWav)
#include "tst_RecordedWav.moc"
