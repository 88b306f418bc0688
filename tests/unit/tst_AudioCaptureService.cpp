#include "AudioSignal.h"
#include "GeneratedAudioInput.h"
#include "VirtualClock.h"
#include "audio/AudioCaptureErrors.h"
#include "audio/AudioCaptureService.h"
#include "audio/WavFile.h"
#include "common/ErrorDomain.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <QtEndian>

#include <optional>
#include <thread>

namespace {

// Drives a task to its end without an event loop of its own, so that the test decides when queued
// notifications from the audio thread are delivered.
template <typename T>
QCoro::Task<> into(QCoro::Task<T> task, std::optional<T>& outcome) {
    outcome = co_await std::move(task);
}

const AudioFormat stereoFloat48k{48000, 2, AudioFormat::SampleType::float32};
const AudioFormat monoInt16k{16000, 1, AudioFormat::SampleType::int16};

struct Rig {
    Rig()
        : service(input, clock) {
        service.setOnAudioLevel([this](float level) {
            levels << level;
            levelsOnMainThread = levelsOnMainThread && QThread::currentThread() == qApp->thread();
        });
    }

    Result<void> start() {
        std::optional<Result<void>> outcome;
        auto task = into(service.startCapture(), outcome);
        if (!outcome) {
            return PTTError{QStringLiteral("test"), 0, QStringLiteral("start did not complete")};
        }
        return *outcome;
    }

    // Feeds the signal from a thread of its own, as a sound server would, then lets the main thread
    // take the notifications.
    void feed(const std::vector<float>& signal, const AudioFormat& format, std::size_t framesPerBuffer) {
        std::thread audio([&] { input.deliverSignal(signal, format, framesPerBuffer); });
        audio.join();
        QCoreApplication::processEvents();
    }

    VirtualClock clock;
    GeneratedAudioInput input;
    AudioCaptureService service;
    QList<float> levels;
    bool levelsOnMainThread = true;
};

std::vector<qint16> samplesOf(const QByteArray& wav) {
    std::vector<qint16> samples(std::size_t(wav.size() - WavFile::headerSize) / 2);
    for (std::size_t index = 0; index < samples.size(); ++index) {
        samples[index] = qFromLittleEndian<qint16>(wav.constData() + WavFile::headerSize + 2 * index);
    }
    return samples;
}

int peakOf(const std::vector<qint16>& samples) {
    int peak = 0;
    for (const qint16 sample : samples) {
        peak = std::max(peak, std::abs(int(sample)));
    }
    return peak;
}

} // namespace

class tst_AudioCaptureService : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void recordsAndConverts();
    void levels_data();
    void levels();
    void startRules();
    void cancelOrStopWhileStarting();
    void inputLostMidRecording();
    void lateNotificationsAreIgnored();
    void samplesLostWhenTheMainThreadStalls();
};

void tst_AudioCaptureService::recordsAndConverts() {
    Rig rig;
    QCOMPARE(rig.start().ok(), true);
    QCOMPARE(rig.service.state(), IAudioCaptureService::State::capturing);

    // 1.25 s of 48 kHz stereo in 10 ms buffers, quiet enough to be raised by the normaliser.
    rig.feed(AudioSignal::sine(440, 2000.0 / 32768, 48000, 2, 1.25), stereoFloat48k, 480);
    rig.clock.advance(1.2509);
    const Result<AudioCaptureResult> result = rig.service.stopCapture();
    QVERIFY(result.ok());
    QCOMPARE(rig.service.state(), IAudioCaptureService::State::idle);
    QVERIFY(!rig.input.isOpen());

    QCOMPARE(result->durationMs, qint64(1250));
    const QByteArray& wav = result->wavData;
    QVERIFY(std::abs(wav.size() - (WavFile::headerSize + 40000)) <= 2);
    QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 40), quint32(wav.size() - WavFile::headerSize));
    QCOMPARE(wav.left(4), QByteArray("RIFF"));
    // Peak about 2000 got the tenfold cap.
    QVERIFY(std::abs(peakOf(samplesOf(wav)) - 20000) < 300);
    QVERIFY(rig.service.hasVoiceActivity(wav, 300.0));
    QVERIFY(!rig.levels.isEmpty());
    QVERIFY(rig.levelsOnMainThread);

    // The next recording starts from nothing.
    rig.levels.clear();
    QVERIFY(rig.start().ok());
    rig.feed(AudioSignal::silence(16000, 1, 0.5), monoInt16k, 160);
    const Result<AudioCaptureResult> silent = rig.service.stopCapture();
    QVERIFY(silent.ok());
    QCOMPARE(silent->wavData.size(), WavFile::headerSize + 16000);
    QCOMPARE(peakOf(samplesOf(silent->wavData)), 0);
    QVERIFY(!rig.service.hasVoiceActivity(silent->wavData, 300.0));
    QCOMPARE(rig.levels.last(), 0.0f);

    // Stopping again, or after a cancel while idle, is an error and changes nothing.
    const Result<AudioCaptureResult> again = rig.service.stopCapture();
    QVERIFY(!again.ok());
    QCOMPARE(again.error().domain, ErrorDomain::audio);
    QCOMPARE(again.error().code, 2);
    QCOMPARE(again.error().description, QStringLiteral("Audio capture was not running"));
    rig.service.cancelCapture();
    QCOMPARE(rig.service.stopCapture().error().code, 2);
}

void tst_AudioCaptureService::levels_data() {
    QTest::addColumn<double>("amplitude");
    QTest::addColumn<float>("level");
    QTest::newRow("silence") << 0.0 << 0.0f;
    // RMS of a sine is amplitude / sqrt(2); six times that, capped at 1.
    QTest::newRow("quiet tone") << 0.01 << float(6 * 0.01 / std::sqrt(2.0));
    QTest::newRow("a sixth of full scale fills the meter") << 0.25 << 1.0f;
    QTest::newRow("clipping input") << 3.0 << 1.0f;
}

void tst_AudioCaptureService::levels() {
    QFETCH(double, amplitude);
    QFETCH(float, level);
    Rig rig;
    QVERIFY(rig.start().ok());
    // 1600 samples hold exactly 44 periods of 440 Hz.
    rig.feed(AudioSignal::sine(440, amplitude, 16000, 1, 0.1), {16000, 1, AudioFormat::SampleType::float32},
             1600);
    QCOMPARE(rig.levels.size(), 1);
    QVERIFY2(std::abs(rig.levels.first() - level) < 2e-3f, qPrintable(QString::number(rig.levels.first())));
    rig.service.cancelCapture();
}

void tst_AudioCaptureService::startRules() {
    {
        Rig rig;
        rig.input.setAuthorized(false);
        const Result<void> refused = rig.start();
        QCOMPARE(refused.error(),
                 (PTTError{ErrorDomain::audio, 1,
                           QStringLiteral("Microphone access was denied or not requested yet")}));
        QCOMPARE(rig.input.startCount(), 0);
        QCOMPARE(rig.service.state(), IAudioCaptureService::State::idle);
    }
    {
        // The input's own failure reaches the caller unchanged.
        Rig rig;
        const PTTError deviceError{ErrorDomain::platform, 7, QStringLiteral("No input device")};
        rig.input.setStartResult(deviceError);
        QCOMPARE(rig.start().error(), deviceError);
        QCOMPARE(rig.service.state(), IAudioCaptureService::State::idle);
        rig.input.setStartResult(Result<void>::success());
        QVERIFY(rig.start().ok());
    }
    {
        // A second start while one runs is refused and leaves the running capture alone.
        Rig rig;
        QVERIFY(rig.start().ok());
        QCOMPARE(rig.start().error().code, int(AudioCaptureErrors::busy));
        QCOMPARE(rig.input.startCount(), 1);
        QCOMPARE(rig.service.state(), IAudioCaptureService::State::capturing);
        QVERIFY(rig.input.isOpen());
    }
}

void tst_AudioCaptureService::cancelOrStopWhileStarting() {
    for (const bool viaStop : {false, true}) {
        Rig rig;
        rig.input.setHoldStart(true);
        std::optional<Result<void>> first;
        auto firstTask = into(rig.service.startCapture(), first);
        QCOMPARE(rig.service.state(), IAudioCaptureService::State::starting);
        QVERIFY(!rig.service.isCapturing());

        // Starting counts as busy: no second microphone start.
        std::optional<Result<void>> second;
        auto secondTask = into(rig.service.startCapture(), second);
        QVERIFY(second && second->error().code == AudioCaptureErrors::busy);
        QCOMPARE(rig.input.startCount(), 1);

        // The key went up before the microphone opened: the start is torn down, not left running.
        if (viaStop) {
            QCOMPARE(rig.service.stopCapture().error().code, int(AudioCaptureErrors::notRunning));
        } else {
            rig.service.cancelCapture();
        }
        QVERIFY(first.has_value());
        QCOMPARE(first->error().code, int(AudioCaptureErrors::cancelled));
        QCOMPARE(rig.service.state(), IAudioCaptureService::State::idle);
        QVERIFY(!rig.input.isOpen());
        QCOMPARE(rig.input.stopCount(), 1);

        // And the next press works.
        rig.input.setHoldStart(false);
        QVERIFY(rig.start().ok());
        QVERIFY(rig.service.isCapturing());
    }
}

void tst_AudioCaptureService::inputLostMidRecording() {
    Rig rig;
    QVERIFY(rig.start().ok());
    rig.feed(AudioSignal::sine(300, 0.3, 48000, 2, 0.5), stereoFloat48k, 480);
    rig.input.fail(PTTError{ErrorDomain::platform, 3, QStringLiteral("Device unplugged")});
    rig.clock.advance(2);

    // Half a dictation must not be pasted as if it were the whole one.
    const Result<AudioCaptureResult> stopped = rig.service.stopCapture();
    QVERIFY(!stopped.ok());
    QCOMPARE(stopped.error(), AudioCaptureErrors::inputLostError());
    QCOMPARE(rig.service.state(), IAudioCaptureService::State::idle);

    QVERIFY(rig.start().ok());
    rig.feed(AudioSignal::sine(300, 0.3, 16000, 1, 0.25), monoInt16k, 160);
    const Result<AudioCaptureResult> next = rig.service.stopCapture();
    QVERIFY(next.ok());
    QCOMPARE(next->wavData.size(), WavFile::headerSize + 8000);
}

void tst_AudioCaptureService::lateNotificationsAreIgnored() {
    Rig rig;
    QVERIFY(rig.start().ok());
    // Buffers arrive but the main thread has not taken their notification when the key goes up.
    rig.input.deliverSignal(AudioSignal::sine(300, 0.3, 16000, 1, 0.5), monoInt16k, 160);
    const Result<AudioCaptureResult> first = rig.service.stopCapture();
    QVERIFY(first.ok());
    QCOMPARE(first->wavData.size(), WavFile::headerSize + 16000); // drained at the stop

    QVERIFY(rig.start().ok());
    QCoreApplication::processEvents(); // the stale notification of the first recording
    QVERIFY(rig.levels.isEmpty());
    rig.feed(AudioSignal::sine(300, 0.3, 16000, 1, 0.25), monoInt16k, 160);
    QVERIFY(!rig.levels.isEmpty());
    const Result<AudioCaptureResult> second = rig.service.stopCapture();
    QVERIFY(second.ok());
    QCOMPARE(second->wavData.size(), WavFile::headerSize + 8000);
}

void tst_AudioCaptureService::samplesLostWhenTheMainThreadStalls() {
    Rig rig;
    QVERIFY(rig.start().ok());
    // 40 s of audio while the main thread takes none of it: more than the hand-over holds.
    rig.input.deliverSignal(AudioSignal::silence(16000, 1, 40), monoInt16k, 1600);
    const Result<AudioCaptureResult> stopped = rig.service.stopCapture();
    QVERIFY(!stopped.ok());
    QCOMPARE(stopped.error(), AudioCaptureErrors::samplesLostError());
}

QTEST_GUILESS_MAIN(tst_AudioCaptureService)
#include "tst_AudioCaptureService.moc"
