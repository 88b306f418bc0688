#include "DesktopTestSupport.h"
#include "platform/linux/pulse/PulseAudioInput.h"

#include <QCoroTask>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <mutex>

namespace {

// What the input delivered, gathered on the audio thread.
class Capture {
public:
    struct Heard {
        std::optional<AudioFormat> format;
        std::vector<std::size_t> buffers; // frames in each
        std::vector<qint16> samples;      // of 16-bit mono buffers
    };

    AudioInput::BufferHandler handler() {
        return [this](const void* data, std::size_t frames, const AudioFormat& format) {
            const std::lock_guard lock(m_mutex);
            m_heard.format = format;
            m_heard.buffers.push_back(frames);
            if (format.sampleType == AudioFormat::SampleType::int16 && format.channels == 1) {
                const auto* samples = static_cast<const qint16*>(data);
                m_heard.samples.insert(m_heard.samples.end(), samples, samples + frames);
            }
        };
    }
    AudioInput::FailureHandler failureHandler() {
        return [this](const PTTError& error) { failures << error.description; };
    }
    Heard heard() const {
        const std::lock_guard lock(m_mutex);
        return m_heard;
    }
    std::size_t bufferCount() const { return heard().buffers.size(); }

    QStringList failures; // main thread

private:
    mutable std::mutex m_mutex;
    Heard m_heard;
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
        DesktopTest::setDefaultSource(QStringLiteral("orlavo_test_mic.monitor"));
    }
    ~TemporaryMicrophone() {
        DesktopTest::setDefaultSource();
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

} // namespace

class tst_PulseAudioInput : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void capturesWhatIsSpokenIntoTheMicrophone();
    // And a microphone that goes away ends the recording.
    void handsOverTheMicrophonesOwnFormat_data();
    void handsOverTheMicrophonesOwnFormat();
    void aStopWhileStartingTearsTheStartDown();
    void noMicrophoneIsNotAuthorised();

private:
    QTemporaryDir m_directory;
};

void tst_PulseAudioInput::initTestCase() {
    DESKTOP_TEST_REQUIRE_DESKTOP();
}

void tst_PulseAudioInput::capturesWhatIsSpokenIntoTheMicrophone() {
    const QString speech = m_directory.filePath(QStringLiteral("speech.wav"));
    QVERIFY(DesktopTest::makeSpeech(QStringLiteral("Hello, this is a dictation test of the microphone."),
                                    speech));
    const double spoken = DesktopTest::wavDuration(speech).value_or(0);
    QVERIFY(spoken > 1.0);

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
    const Capture::Heard heard = capture.heard();
    QCOMPARE(heard.format, std::optional<AudioFormat>(native));

    // Everything from the start to the stop, in small buffers.
    const std::vector<qint16>& samples = heard.samples;
    QCOMPARE_GE(samples.size() / 16000.0, spoken);
    QCOMPARE_LE(samples.size() / 16000.0, recorded + 0.05);
    std::vector<std::size_t> sizes = heard.buffers;
    std::sort(sizes.begin(), sizes.end());
    QCOMPARE_LE(sizes[sizes.size() / 2], std::size_t(16000 / 40));

    // The speech is in there: loud where espeak spoke, as long as it spoke.
    const auto loud = [](qint16 sample) { return std::abs(sample) > 1000; };
    const auto first = std::find_if(samples.begin(), samples.end(), loud);
    const auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
    QVERIFY2(first < last, "nothing but silence was captured");
    const double voiced = double(last - first) / 16000.0;
    QCOMPARE_GE(voiced, spoken - 0.6);
    QCOMPARE_LE(voiced, spoken + 0.1);

    // stop() returned: no handler runs any more.
    QTest::qWait(100);
    QCOMPARE(capture.bufferCount(), heard.buffers.size());
    QVERIFY(capture.failures.isEmpty());
}

void tst_PulseAudioInput::handsOverTheMicrophonesOwnFormat_data() {
    QTest::addColumn<QString>("device");
    QTest::addColumn<AudioFormat>("format");
    QTest::newRow("48 kHz stereo float") << "rate=48000 channels=2 format=float32le"
                                         << AudioFormat{48000, 2, AudioFormat::SampleType::float32};
    QTest::newRow("44.1 kHz stereo 32-bit")
        << "rate=44100 channels=2 format=s32le" << AudioFormat{44100, 2, AudioFormat::SampleType::int32};
    // Formats the capture does not read arrive converted to float, at the device's rate.
    QTest::newRow("24-bit becomes float")
        << "rate=96000 channels=1 format=s24le" << AudioFormat{96000, 1, AudioFormat::SampleType::float32};
}

void tst_PulseAudioInput::handsOverTheMicrophonesOwnFormat() {
    QFETCH(QString, device);
    QFETCH(AudioFormat, format);
    TemporaryMicrophone microphone(device);
    QVERIFY(microphone.isPlugged());

    PulseAudioInput input;
    Capture capture;
    QVERIFY(QCoro::waitFor(input.start(capture.handler(), capture.failureHandler())).ok());
    QCOMPARE(input.streamFormat(), std::optional<AudioFormat>(format));
    QTRY_VERIFY_WITH_TIMEOUT(capture.bufferCount() > 0, 5000);
    QCOMPARE(capture.heard().format, std::optional<AudioFormat>(format));

    // Unplugged during the recording: a clear failure, and no carrying on from another device.
    microphone.unplug();
    QTRY_COMPARE(capture.failures.size(), 1);
    QVERIFY2(capture.failures.front().contains(QLatin1String("microphone stopped")),
             qPrintable(capture.failures.front()));
    QCOMPARE(input.streamFormat(), std::nullopt);
    const std::size_t buffers = capture.bufferCount();
    QTest::qWait(100);
    QCOMPARE(capture.bufferCount(), buffers);
    // The next recording opens the new default.
    DesktopTest::setDefaultSource();
    QVERIFY(QCoro::waitFor(input.start(capture.handler(), capture.failureHandler())).ok());
    QTRY_VERIFY(capture.bufferCount() > buffers);
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
    QVERIFY(!QCoro::waitFor(input.start(capture.handler(), capture.failureHandler())).ok());
    QVERIFY(QCoro::waitFor(std::move(again)).ok());
    QTRY_VERIFY(capture.bufferCount() > 0);
    input.stop();
}

void tst_PulseAudioInput::noMicrophoneIsNotAuthorised() {
    // A server that runs but has no device at all.
    QTemporaryDir server;
    const QString runtime = server.filePath(QStringLiteral("runtime"));
    QVERIFY(QDir().mkdir(runtime));
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString socket = runtime + QStringLiteral("/native");
    QProcess daemon;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), server.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    // Away from the desktop's session bus, where the desktop's own sound server holds the name.
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
    environment.remove(QStringLiteral("DISPLAY"));
    daemon.setProcessEnvironment(environment);
    daemon.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    daemon.start(QStringLiteral("pulseaudio"),
                 QStringLiteral("--daemonize=no -n --exit-idle-time=-1 --use-pid-file=no --log-level=0")
                         .split(QLatin1Char(' '))
                     << QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") +
                            socket);
    QVERIFY(daemon.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(socket), 10000);

    const std::pair<QString, QString> cases[] = {
        {socket, QStringLiteral("No microphone: the sound server has no input device")},
        {server.filePath(QStringLiteral("nothing-here")), QStringLiteral("Cannot reach the sound server")},
    };
    for (const auto& [address, reason] : cases) {
        const DesktopTest::EnvironmentOverride override("PULSE_SERVER", "unix:" + address.toLocal8Bit());
        PulseAudioInput input;
        QVERIFY(!input.isAuthorized());
        QVERIFY2(input.unavailableReason().value_or(QString()).startsWith(reason),
                 qPrintable(input.unavailableReason().value_or(QString())));
        const Result<void> started = QCoro::waitFor(input.start(nullptr, nullptr));
        QVERIFY2(!started.ok() && started.error().description.startsWith(reason),
                 qPrintable(started.ok() ? QString() : started.error().description));
    }
    daemon.terminate();
    daemon.waitForFinished(5000);
}

QTEST_GUILESS_MAIN(tst_PulseAudioInput)
#include "tst_PulseAudioInput.moc"
