#include "DesktopTestSupport.h"
#include "pulse/PulseAudioInput.h"

#include <QCoroTask>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>

namespace {

// What the input delivered, gathered on the audio thread.
class Capture {
public:
    AudioInput::BufferHandler handler() {
        return [this](const void* data, std::size_t frames, const AudioFormat& format) {
            const std::lock_guard lock(m_mutex);
            m_format = format;
            m_frames += frames;
            m_buffers.push_back(frames);
            if (format.sampleType == AudioFormat::SampleType::int16 && format.channels == 1) {
                m_samples.append(static_cast<const char*>(data), static_cast<qsizetype>(frames * 2));
            }
        };
    }
    AudioInput::FailureHandler failureHandler() {
        return [this](const PTTError& error) { m_failures << error.description; };
    }

    std::size_t bufferCount() const {
        const std::lock_guard lock(m_mutex);
        return m_buffers.size();
    }
    std::vector<std::size_t> buffers() const {
        const std::lock_guard lock(m_mutex);
        return m_buffers;
    }
    std::optional<AudioFormat> format() const {
        const std::lock_guard lock(m_mutex);
        return m_format;
    }
    std::vector<qint16> samples() const {
        const std::lock_guard lock(m_mutex);
        std::vector<qint16> result(static_cast<std::size_t>(m_samples.size() / 2));
        std::memcpy(result.data(), m_samples.constData(), result.size() * 2);
        return result;
    }
    QStringList failures() const { return m_failures; }

private:
    mutable std::mutex m_mutex;
    std::optional<AudioFormat> m_format;
    std::size_t m_frames = 0;
    std::vector<std::size_t> m_buffers;
    QByteArray m_samples;
    QStringList m_failures; // main thread
};

// A sound card of the test's own: a null sink, whose monitor serves as the default microphone
// while the object lives.
class TemporaryMicrophone {
public:
    explicit TemporaryMicrophone(const QString& arguments) {
        QByteArray index;
        DesktopTest::run(QStringLiteral("pactl"),
                         QStringList{QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                                     QStringLiteral("sink_name=orlavo_test_mic")} +
                             arguments.split(QLatin1Char(' '), Qt::SkipEmptyParts),
                         &index);
        m_module = QString::fromLatin1(index.trimmed());
        DesktopTest::run(QStringLiteral("pactl"),
                         {QStringLiteral("set-default-source"), QStringLiteral("orlavo_test_mic.monitor")});
    }
    ~TemporaryMicrophone() {
        DesktopTest::run(QStringLiteral("pactl"),
                         {QStringLiteral("set-default-source"),
                          qEnvironmentVariable("ORLAVO_TEST_MIC_SINK") + ".monitor"});
        unplug();
    }
    TemporaryMicrophone(const TemporaryMicrophone&) = delete;
    TemporaryMicrophone& operator=(const TemporaryMicrophone&) = delete;

    bool isPlugged() const { return !m_module.isEmpty(); }
    void unplug() {
        if (!m_module.isEmpty()) {
            DesktopTest::run(QStringLiteral("pactl"), {QStringLiteral("unload-module"), m_module});
            m_module.clear();
        }
    }

private:
    QString m_module;
};

class EnvironmentOverride {
public:
    EnvironmentOverride(const char* name, const QByteArray& value)
        : m_name(name)
        , m_saved(qgetenv(name)) {
        qputenv(name, value);
    }
    ~EnvironmentOverride() { qputenv(m_name, m_saved); }
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    const char* m_name;
    QByteArray m_saved;
};

} // namespace

Q_DECLARE_METATYPE(AudioFormat::SampleType)

class tst_PulseAudioInput : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void capturesWhatIsSpokenIntoTheMicrophone();
    void handsOverTheMicrophonesOwnFormat_data();
    void handsOverTheMicrophonesOwnFormat();
    void aStopWhileStartingTearsTheStartDown();
    void aMicrophoneThatGoesAwayEndsTheRecording();
    void noMicrophoneIsNotAuthorised();

private:
    QTemporaryDir m_directory;
};

void tst_PulseAudioInput::initTestCase() {
    if (const QString missing = DesktopTest::missingDesktop(); !missing.isEmpty()) {
        QSKIP(qPrintable(missing));
    }
}

void tst_PulseAudioInput::capturesWhatIsSpokenIntoTheMicrophone() {
    const QString speech = m_directory.filePath(QStringLiteral("speech.wav"));
    QVERIFY(DesktopTest::makeSpeech(QStringLiteral("Hello, this is a dictation test of the microphone."),
                                    speech));
    const std::optional<double> spoken = DesktopTest::wavDuration(speech);
    QVERIFY(spoken && *spoken > 1.0);

    PulseAudioInput input;
    QVERIFY(input.isAuthorized());
    QCOMPARE(input.unavailableReason(), std::nullopt);
    Capture capture;
    QElapsedTimer recording;
    recording.start();
    const Result<void> started = QCoro::waitFor(input.start(capture.handler(), capture.failureHandler()));
    QVERIFY2(started.ok(), qPrintable(started.ok() ? QString() : started.error().description));
    // The fake microphone of the desktop: 16 kHz mono 16-bit, handed over as it is.
    const AudioFormat native{16000, 1, AudioFormat::SampleType::int16};
    QCOMPARE(input.streamFormat(), std::optional<AudioFormat>(native));

    QVERIFY(DesktopTest::speakIntoMicrophone(speech));
    QTest::qWait(200);
    input.stop();
    const double recorded = recording.elapsed() / 1000.0;
    QCOMPARE(input.streamFormat(), std::nullopt);
    const std::size_t buffersAtStop = capture.bufferCount();
    QCOMPARE(capture.format(), std::optional<AudioFormat>(native));

    // Everything from the start to the stop, in small buffers.
    const std::vector<qint16> samples = capture.samples();
    const double captured = samples.size() / 16000.0;
    QCOMPARE_GE(captured, *spoken);
    QCOMPARE_LE(captured, recorded + 0.05);
    std::vector<std::size_t> sizes = capture.buffers();
    std::sort(sizes.begin(), sizes.end());
    QCOMPARE_LE(sizes[sizes.size() / 2], std::size_t(16000 / 40));

    // The speech is in there: loud where espeak spoke, as long as it spoke.
    std::size_t first = samples.size();
    std::size_t last = 0;
    for (std::size_t index = 0; index < samples.size(); ++index) {
        if (std::abs(samples[index]) > 1000) {
            first = std::min(first, index);
            last = index;
        }
    }
    QVERIFY2(first < last, "nothing but silence was captured");
    const double voiced = (last - first) / 16000.0;
    QCOMPARE_GE(voiced, *spoken - 0.6);
    QCOMPARE_LE(voiced, *spoken + 0.1);
    double energy = 0;
    for (std::size_t index = first; index <= last; ++index) {
        energy += double(samples[index]) * samples[index];
    }
    QCOMPARE_GE(std::sqrt(energy / double(last - first + 1)), 1000.0);

    // stop() returned: no handler runs any more.
    QTest::qWait(100);
    QCOMPARE(capture.bufferCount(), buffersAtStop);
    QVERIFY(capture.failures().isEmpty());
}

void tst_PulseAudioInput::handsOverTheMicrophonesOwnFormat_data() {
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<AudioFormat::SampleType>("sampleType");
    QTest::newRow("48 kHz stereo float")
        << "rate=48000 channels=2 format=float32le" << 48000 << 2 << AudioFormat::SampleType::float32;
    QTest::newRow("44.1 kHz stereo 32-bit")
        << "rate=44100 channels=2 format=s32le" << 44100 << 2 << AudioFormat::SampleType::int32;
    QTest::newRow("8 kHz mono 16-bit")
        << "rate=8000 channels=1 format=s16le" << 8000 << 1 << AudioFormat::SampleType::int16;
    // Formats the capture does not read arrive converted to float, at the device's rate.
    QTest::newRow("24-bit becomes float")
        << "rate=96000 channels=1 format=s24le" << 96000 << 1 << AudioFormat::SampleType::float32;
}

void tst_PulseAudioInput::handsOverTheMicrophonesOwnFormat() {
    QFETCH(QString, device);
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(AudioFormat::SampleType, sampleType);
    const TemporaryMicrophone microphone(device);
    QVERIFY(microphone.isPlugged());

    PulseAudioInput input;
    Capture capture;
    QVERIFY(QCoro::waitFor(input.start(capture.handler(), capture.failureHandler())).ok());
    const AudioFormat expected{rate, channels, sampleType};
    QCOMPARE(input.streamFormat(), std::optional<AudioFormat>(expected));
    QTRY_VERIFY_WITH_TIMEOUT(capture.bufferCount() > 0, 5000);
    QCOMPARE(capture.format(), std::optional<AudioFormat>(expected));
    input.stop();
}

void tst_PulseAudioInput::aStopWhileStartingTearsTheStartDown() {
    PulseAudioInput input;
    Capture capture;
    auto starting = input.start(capture.handler(), capture.failureHandler());
    input.stop();
    const Result<void> cut = QCoro::waitFor(std::move(starting));
    QVERIFY(!cut.ok());
    QVERIFY2(cut.error().description.contains(QLatin1String("closed")), qPrintable(cut.error().description));
    QTest::qWait(200);
    QCOMPARE(capture.bufferCount(), std::size_t(0));
    QCOMPARE(input.streamFormat(), std::nullopt);

    // The input is as good as new; one start at a time.
    auto again = input.start(capture.handler(), capture.failureHandler());
    const Result<void> twice = QCoro::waitFor(input.start(capture.handler(), capture.failureHandler()));
    QVERIFY(!twice.ok());
    QVERIFY(QCoro::waitFor(std::move(again)).ok());
    QTRY_VERIFY(capture.bufferCount() > 0);
    input.stop();
}

void tst_PulseAudioInput::aMicrophoneThatGoesAwayEndsTheRecording() {
    TemporaryMicrophone microphone(QStringLiteral("rate=48000 channels=1 format=s16le"));
    PulseAudioInput input;
    Capture capture;
    QVERIFY(QCoro::waitFor(input.start(capture.handler(), capture.failureHandler())).ok());

    microphone.unplug();
    QTRY_COMPARE(capture.failures().size(), 1);
    QVERIFY2(capture.failures().front().contains(QLatin1String("microphone stopped")),
             qPrintable(capture.failures().front()));
    QCOMPARE(input.streamFormat(), std::nullopt);
    const std::size_t buffers = capture.bufferCount();

    // It does not carry on from another device, and the next recording opens the new default.
    QTest::qWait(100);
    QCOMPARE(capture.bufferCount(), buffers);
    DesktopTest::run(QStringLiteral("pactl"), {QStringLiteral("set-default-source"),
                                               qEnvironmentVariable("ORLAVO_TEST_MIC_SINK") + ".monitor"});
    QVERIFY(QCoro::waitFor(input.start(capture.handler(), capture.failureHandler())).ok());
    QTRY_VERIFY(capture.bufferCount() > buffers);
    input.stop();
}

void tst_PulseAudioInput::noMicrophoneIsNotAuthorised() {
    // A server that runs but has no device at all.
    QTemporaryDir server;
    QVERIFY(QDir(server.path()).mkdir(QStringLiteral("runtime")));
    QFile::setPermissions(server.filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString socket = server.filePath(QStringLiteral("runtime/native"));
    QProcess daemon;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), server.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), server.filePath(QStringLiteral("runtime")));
    // Away from the desktop's session bus, where the desktop's own sound server holds the name.
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
    environment.remove(QStringLiteral("DISPLAY"));
    daemon.setProcessEnvironment(environment);
    daemon.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    daemon.start(
        QStringLiteral("pulseaudio"),
        {QStringLiteral("--daemonize=no"), QStringLiteral("-n"), QStringLiteral("--exit-idle-time=-1"),
         QStringLiteral("--use-pid-file=no"), QStringLiteral("--log-level=0"),
         QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=%1").arg(socket)});
    QVERIFY(daemon.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(socket), 10000);

    const std::pair<QByteArray, QString> cases[] = {
        {"unix:" + socket.toLocal8Bit(),
         QStringLiteral("No microphone: the sound server has no input device")},
        {"unix:" + server.filePath(QStringLiteral("nothing-here")).toLocal8Bit(),
         QStringLiteral("Cannot reach the sound server")},
    };
    for (const auto& [address, reason] : cases) {
        const EnvironmentOverride override("PULSE_SERVER", address);
        PulseAudioInput input;
        QVERIFY(!input.isAuthorized());
        QVERIFY2(input.unavailableReason().value_or(QString()).startsWith(reason),
                 qPrintable(input.unavailableReason().value_or(QString())));
        const Result<void> started = QCoro::waitFor(input.start(nullptr, nullptr));
        QVERIFY(!started.ok());
        QVERIFY2(started.error().description.startsWith(reason), qPrintable(started.error().description));
    }
    daemon.terminate();
    daemon.waitForFinished(5000);
}

QTEST_GUILESS_MAIN(tst_PulseAudioInput)
#include "tst_PulseAudioInput.moc"
