#include "TestWav.h"
#include "core/transcribe/RecordedWav.h"

#include <QTest>

using namespace TestWav;

class tst_RecordedWav : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void files_data();
    void files();
};

void tst_RecordedWav::files_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("durationMs"); // -1: refused
    QTest::addColumn<bool>("voice");

    const QByteArray mono = format(1, 1, 16000, 16);
    const QByteArray loud = "data" + le(32000) + samples(16000, 1000);
    QTest::newRow("16 kHz mono, 1 s") << mono16k(1.0, 1000) << qint64(1000) << true;
    QTest::newRow("48 kHz stereo, 1/3 s") << riff(format(1, 2, 48000, 16) + loud) << qint64(166) << true;
    QTest::newRow("odd chunk before the data")
        << riff(mono + "LIST" + le(3) + "abc" + '\0' + loud) << qint64(1000) << true;
    QTest::newRow("streamed, size unset")
        << riff(format(0xFFFE, 1, 16000, 16) + "data" + le(0xFFFFFFFF) + samples(16000, 1000)) << qint64(1000)
        << true;
    QTest::newRow("quiet: RMS 300 is not above 300") << mono16k(1.0, 300) << qint64(1000) << false;
    QTest::newRow("no samples") << riff(mono + "data" + le(0)) << qint64(0) << false;
    QTest::newRow("8-bit") << riff(format(1, 1, 16000, 8) + "data" + le(4) + "abcd") << qint64(-1) << false;
    QTest::newRow("data before format") << riff("data" + le(2) + "ab" + mono) << qint64(-1) << false;
    QTest::newRow("chunk size past the end") << riff("JUNK" + le(0xFFFFFFF0) + "x") << qint64(-1) << false;
    QTest::newRow("not RIFF") << QByteArray("ID3\x04 an mp3") << qint64(-1) << false;
}

void tst_RecordedWav::files() {
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, durationMs);
    QFETCH(bool, voice);

    const auto wav = RecordedWav::fromBytes(bytes);
    if (durationMs >= 0) {
        QVERIFY(wav.ok());
        QCOMPARE(wav->durationMs(), durationMs);
        QCOMPARE(wav->bytes(), bytes);
    } else {
        QVERIFY(wav.error().description.startsWith("Not a 16-bit PCM WAV file: "));
    }
    QCOMPARE(RecordedWav::hasVoiceActivity(bytes, 300.0), voice);
}

QTEST_GUILESS_MAIN(tst_RecordedWav)
#include "tst_RecordedWav.moc"
