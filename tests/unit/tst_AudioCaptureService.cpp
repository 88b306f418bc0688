#include "AudioSignal.h"
#include "GeneratedAudioInput.h"
#include "VirtualScheduler.h"
#include "core/audio/AudioCaptureError.h"
#include "core/audio/AudioCaptureErrors.h"
#include "core/audio/AudioCaptureService.h"
#include "core/audio/WavFile.h"
#include "core/common/ErrorDomain.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <QtEndian>

#include <cmath>
#include <limits>
#include <optional>
#include <thread>

namespace {

// Drives a task to its end without an event loop, in virtual time.
template <typename T>
QCoro::Task<> into(QCoro::Task<T> task, std::optional<T>& outcome) {
    outcome = co_await std::move(task);
}

const AudioFormat stereoFloat48k{48000, 2, AudioFormat::SampleType::float32};
const AudioFormat monoInt16k{16000, 1, AudioFormat::SampleType::int16};
const AudioFormat monoFloat16k{16000, 1, AudioFormat::SampleType::float32};
using State = IAudioCaptureService::State;

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

struct Rig {
    Rig()
        : service(input, scheduler) {
        service.setOnAudioLevel([this](float level) {
            levels << level;
            levelsOnMainThread = levelsOnMainThread && QThread::currentThread() == qApp->thread();
        });
    }

    Result<void> start() {
        std::optional<Result<void>> outcome;
        auto task = into(service.startCapture(), outcome);
        return outcome.value_or(
            PTTError{QStringLiteral("test"), 0, QStringLiteral("start did not complete")});
    }

    // Feeds the signal from a thread of its own, as a sound server would, then lets the main thread
    // take what arrived.
    void feed(const std::vector<float>& signal, const AudioFormat& format, std::size_t framesPerBuffer) {
        std::thread audio([&] { input.deliverSignal(signal, format, framesPerBuffer); });
        audio.join();
        scheduler.advance(AudioCaptureService::levelInterval);
    }

    // A whole recording: start, whatever `deliver` does, stop; its samples. A failure fails the test.
    template <typename Deliver>
    std::vector<qint16> record(Deliver&& deliver) {
        const Result<void> started = start();
        deliver();
        const Result<AudioCaptureResult> result = service.stopCapture();
        if (!started || !result) {
            QTest::qFail(qPrintable((started ? result.error() : started.error()).description), __FILE__,
                         __LINE__);
            return {};
        }
        return samplesOf(result->wavData);
    }

    VirtualScheduler scheduler;
    GeneratedAudioInput input;
    AudioCaptureService service;
    QList<float> levels;
    bool levelsOnMainThread = true;
};

} // namespace

class tst_AudioCaptureService : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void conversion_data();
    void conversion();
    void conversionEdges();
    void recordsAndConverts();
    void levels();
    void startRules();
    void cancelOrStopWhileStarting();
    void incompleteRecordingsAreErrors();
};

void tst_AudioCaptureService::conversion_data() {
    QTest::addColumn<AudioFormat>("format");
    QTest::addColumn<int>("framesPerBuffer");
    QTest::newRow("48 kHz mono int16") << AudioFormat{48000, 1, AudioFormat::SampleType::int16} << 480;
    QTest::newRow("44.1 kHz stereo float") << AudioFormat{44100, 2, AudioFormat::SampleType::float32} << 441;
    QTest::newRow("48 kHz stereo int32, large buffers")
        << AudioFormat{48000, 2, AudioFormat::SampleType::int32} << 2048;
    QTest::newRow("8 kHz mono float, upsampled")
        << AudioFormat{8000, 1, AudioFormat::SampleType::float32} << 160;
}

void tst_AudioCaptureService::conversion() {
    QFETCH(AudioFormat, format);
    QFETCH(int, framesPerBuffer);

    // One second of 440 Hz, loud enough for the normaliser to leave it alone.
    Rig rig;
    const std::vector<qint16> out = rig.record([&] {
        rig.feed(AudioSignal::sine(440, 0.75, format.sampleRate, format.channels, 1.0), format,
                 std::size_t(framesPerBuffer));
    });
    QVERIFY2(std::abs(int(out.size()) - 16000) <= 1, qPrintable(QString::number(out.size())));
    // Away from the resampler's edges the tone keeps its level, and everywhere its pitch.
    double sum = 0;
    for (std::size_t index = 1600; index < 14400; ++index) {
        sum += double(out[index]) * out[index];
    }
    QVERIFY(std::abs(std::sqrt(sum / 12800) / (0.75 / std::sqrt(2.0) * 32768) - 1) < 0.01);
    int risingZeroCrossings = 0;
    for (std::size_t index = 1; index < out.size(); ++index) {
        risingZeroCrossings += out[index - 1] < 0 && out[index] >= 0;
    }
    QVERIFY(std::abs(risingZeroCrossings - 440) <= 1);
}

void tst_AudioCaptureService::conversionEdges() {
    Rig rig;
    // At the target rate integer samples pass through exactly.
    const std::vector<qint16> exact{0, 1, -1, 32767, -32768, 1234};
    QCOMPARE(rig.record([&] { rig.input.deliver(exact.data(), exact.size(), monoInt16k); }), exact);

    // Clipped float input saturates, never wraps.
    const std::vector<float> wild{1.5f, -1.5f, 1.0f, 0.25f};
    QCOMPARE(rig.record([&] { rig.input.deliver(wild.data(), wild.size(), monoFloat16k); }),
             (std::vector<qint16>{32767, -32768, 32767, 8192}));
    // A NaN is silence, also to the resampler, whose filter would spread it.
    std::vector<float> clean = AudioSignal::sine(440, 0.5, 48000, 1, 0.5);
    clean[100] = 0;
    std::vector<float> poisoned = clean;
    poisoned[100] = std::numeric_limits<float>::quiet_NaN();
    const AudioFormat monoFloat48k{48000, 1, AudioFormat::SampleType::float32};
    QCOMPARE(rig.record([&] { rig.input.deliverSignal(poisoned, monoFloat48k, 480); }),
             rig.record([&] { rig.input.deliverSignal(clean, monoFloat48k, 480); }));

    // Channels are averaged: a stereo pair in opposite phase cancels.
    std::vector<float> opposite = AudioSignal::sine(440, 0.5, 48000, 2, 0.5);
    for (std::size_t index = 1; index < opposite.size(); index += 2) {
        opposite[index] = -opposite[index];
    }
    const std::vector<qint16> cancelled =
        rig.record([&] { rig.input.deliverSignal(opposite, stereoFloat48k, 480); });
    QCOMPARE(int(cancelled.size()), 8000);
    QVERIFY(peakOf(cancelled) < 10);

    // Buffers in a format that cannot be converted are dropped, and the capture goes on.
    const std::vector<float> some(64, 0.9f);
    const std::vector<qint16> kept = rig.record([&] {
        rig.input.deliver(some.data(), 64, {16000, 0, AudioFormat::SampleType::float32});
        rig.input.deliver(some.data(), 64, {0, 1, AudioFormat::SampleType::float32});
        rig.input.deliver(some.data(), 64, {5'000'000, 1, AudioFormat::SampleType::float32});
        rig.input.deliver(nullptr, 64, monoFloat16k);
        rig.input.deliver(some.data(), 64, monoFloat16k);
    });
    QCOMPARE(kept, std::vector<qint16>(64, 29491));
}

void tst_AudioCaptureService::recordsAndConverts() {
    Rig rig;
    QVERIFY(rig.start().ok());
    QCOMPARE(rig.service.state(), State::capturing);

    // 1.25 s of 48 kHz stereo in 10 ms buffers, quiet enough to be raised by the normaliser.
    rig.feed(AudioSignal::sine(440, 2000.0 / 32768, 48000, 2, 1.25), stereoFloat48k, 480);
    rig.scheduler.advance(1.2509 - rig.scheduler.now());
    const Result<AudioCaptureResult> result = rig.service.stopCapture();
    QVERIFY(result.ok());
    QCOMPARE(rig.service.state(), State::idle);
    QVERIFY(!rig.input.isOpen());

    QCOMPARE(result->durationMs, qint64(1250));
    const QByteArray& wav = result->wavData;
    QVERIFY(std::abs(wav.size() - (WavFile::headerSize + 40000)) <= 2);
    // Peak about 2000 got the tenfold cap.
    QVERIFY(std::abs(peakOf(samplesOf(wav)) - 20000) < 300);
    QVERIFY(!rig.levels.isEmpty());
    QVERIFY(rig.levelsOnMainThread);

    // The next recording starts from nothing.
    const std::vector<qint16> silent =
        rig.record([&] { rig.feed(AudioSignal::silence(16000, 1, 0.5), monoInt16k, 160); });
    QCOMPARE(silent, std::vector<qint16>(8000, 0));
    QCOMPARE(rig.levels.last(), 0.0f);

    // Stopping again, or after a cancel while idle, is an error and changes nothing.
    const PTTError notRunning{ErrorDomain::audio, 2, QStringLiteral("Audio capture was not running")};
    QCOMPARE(rig.service.stopCapture().error(), notRunning);
    rig.service.cancelCapture();
    QCOMPARE(rig.service.stopCapture().error(), notRunning);
}

void tst_AudioCaptureService::levels() {
    Rig rig;
    QVERIFY(rig.start().ok());
    // Buffers between two frames of the meter make one level, the latest: six times its RMS (that of
    // a sine is amplitude / sqrt(2); 1600 samples hold exactly 44 periods of 440 Hz).
    rig.input.deliverSignal(AudioSignal::silence(16000, 1, 0.09), monoInt16k, 160);
    rig.input.deliverSignal(AudioSignal::sine(440, 0.01, 16000, 1, 0.1), monoInt16k, 1600);
    QVERIFY(rig.levels.isEmpty());
    rig.scheduler.advance(AudioCaptureService::levelInterval);
    QCOMPARE(rig.levels.size(), 1);
    QVERIFY2(std::abs(rig.levels.first() - 6 * 0.01 / std::sqrt(2.0)) < 2e-3,
             qPrintable(QString::number(rig.levels.first())));
    // Nothing new, nothing sent; a sixth of full scale fills the meter, and no more.
    rig.scheduler.advance(1);
    QCOMPARE(rig.levels.size(), 1);
    rig.input.deliverSignal(AudioSignal::sine(440, 0.25, 16000, 1, 0.1), monoInt16k, 1600);
    rig.scheduler.advance(AudioCaptureService::levelInterval);
    QCOMPARE(rig.levels.last(), 1.0f);

    // What the meter has not taken yet still belongs to the recording.
    rig.input.deliverSignal(AudioSignal::silence(16000, 1, 0.5), monoInt16k, 160);
    const Result<AudioCaptureResult> stopped = rig.service.stopCapture();
    QVERIFY(stopped.ok());
    QCOMPARE(stopped->wavData.size(), WavFile::headerSize + 2 * (1440 + 1600 + 1600 + 8000));
    QCOMPARE(rig.scheduler.pendingCount(), std::size_t(0));
    QCOMPARE(rig.levels.size(), 2);
}

void tst_AudioCaptureService::startRules() {
    Rig rig;
    rig.input.setAuthorized(false);
    QCOMPARE(rig.start().error(),
             (PTTError{ErrorDomain::audio, 1,
                       QStringLiteral("Microphone access was denied or not requested yet")}));
    QCOMPARE(rig.input.startCount(), 0);
    rig.input.setAuthorized(true);

    // The input's own failure reaches the caller unchanged.
    const PTTError deviceError{ErrorDomain::platform, 7, QStringLiteral("No input device")};
    rig.input.setStartResult(deviceError);
    QCOMPARE(rig.start().error(), deviceError);
    QCOMPARE(rig.service.state(), State::idle);
    rig.input.setStartResult(Result<void>::success());

    // A second start while one runs is refused and leaves the running capture alone.
    QVERIFY(rig.start().ok());
    QCOMPARE(rig.start().error().code, int(AudioCaptureError::busy));
    QCOMPARE(rig.input.startCount(), 2);
    QCOMPARE(rig.service.state(), State::capturing);
    QVERIFY(rig.input.isOpen());
}

void tst_AudioCaptureService::cancelOrStopWhileStarting() {
    for (const bool viaStop : {false, true}) {
        Rig rig;
        rig.input.setHoldStart(true);
        std::optional<Result<void>> first;
        auto firstTask = into(rig.service.startCapture(), first);
        QCOMPARE(rig.service.state(), State::starting);
        QVERIFY(!rig.service.isCapturing());

        // Starting counts as busy: no second microphone start.
        QCOMPARE(rig.start().error().code, int(AudioCaptureError::busy));
        QCOMPARE(rig.input.startCount(), 1);

        // The key went up before the microphone opened: the start is torn down, not left running.
        if (viaStop) {
            QCOMPARE(rig.service.stopCapture().error().code, int(AudioCaptureError::notRunning));
        } else {
            rig.service.cancelCapture();
        }
        QVERIFY(first.has_value());
        QCOMPARE(first->error().code, int(AudioCaptureError::cancelled));
        QCOMPARE(rig.service.state(), State::idle);
        QVERIFY(!rig.input.isOpen());
        QCOMPARE(rig.input.stopCount(), 1);

        // And the next press works.
        rig.input.setHoldStart(false);
        QVERIFY(rig.start().ok());
        QVERIFY(rig.service.isCapturing());
    }
}

void tst_AudioCaptureService::incompleteRecordingsAreErrors() {
    // Half a dictation must not be pasted as if it were the whole one: the device went away...
    Rig rig;
    QVERIFY(rig.start().ok());
    rig.feed(AudioSignal::sine(300, 0.3, 48000, 2, 0.5), stereoFloat48k, 480);
    rig.input.fail(PTTError{ErrorDomain::platform, 3, QStringLiteral("Device unplugged")});
    rig.scheduler.advance(2);
    QCOMPARE(rig.service.stopCapture().error(), AudioCaptureErrors::inputLostError());
    QCOMPARE(rig.service.state(), State::idle);
    QCOMPARE(
        rig.record([&] { rig.feed(AudioSignal::sine(300, 0.3, 16000, 1, 0.25), monoInt16k, 160); }).size(),
        std::size_t(4000));

    // ...or 40 s of audio came while the main thread took none of it: more than the hand-over holds.
    QVERIFY(rig.start().ok());
    rig.input.deliverSignal(AudioSignal::silence(16000, 1, 40), monoInt16k, 1600);
    QCOMPARE(rig.service.stopCapture().error(), AudioCaptureErrors::samplesLostError());
}

QTEST_GUILESS_MAIN(tst_AudioCaptureService)
#include "tst_AudioCaptureService.moc"
