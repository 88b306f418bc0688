#include "DesktopTestSupport.h"
#include "PlatformFactory.h"
#include "pulse/PulseAudioInput.h"
#include "sound/CanberraSoundPlayer.h"
#include "time/SystemClock.h"

#include <QCoroTask>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <cstdlib>

namespace {

class EnvironmentOverride {
public:
    EnvironmentOverride(const char* name, const std::optional<QByteArray>& value)
        : m_name(name)
        , m_saved(qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name)) : std::nullopt) {
        set(value);
    }
    ~EnvironmentOverride() { set(m_saved); }
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    void set(const std::optional<QByteArray>& value) {
        if (value) {
            qputenv(m_name, *value);
        } else {
            qunsetenv(m_name);
        }
    }

    const char* m_name;
    std::optional<QByteArray> m_saved;
};

// Listens to what the desktop plays: the speaker's monitor as the input, loudest sample kept.
class SpeakerListener {
public:
    SpeakerListener() {
        DesktopTest::run(QStringLiteral("pactl"),
                         {QStringLiteral("set-default-source"), speaker() + ".monitor"});
        m_started =
            QCoro::waitFor(m_input.start(
                               [this](const void* data, std::size_t frames, const AudioFormat& format) {
                                   if (format.sampleType != AudioFormat::SampleType::int16) {
                                       return;
                                   }
                                   const auto* samples = static_cast<const qint16*>(data);
                                   int peak = m_peak;
                                   for (std::size_t index = 0; index < frames * format.channels; ++index) {
                                       peak = std::max(peak, std::abs(int(samples[index])));
                                   }
                                   m_peak = peak;
                               },
                               nullptr))
                .ok();
    }
    ~SpeakerListener() {
        m_input.stop();
        DesktopTest::run(QStringLiteral("pactl"),
                         {QStringLiteral("set-default-source"),
                          qEnvironmentVariable("ORLAVO_TEST_MIC_SINK") + ".monitor"});
    }
    SpeakerListener(const SpeakerListener&) = delete;
    SpeakerListener& operator=(const SpeakerListener&) = delete;

    bool isListening() const { return m_started; }
    int peak() const { return m_peak; }
    void reset() { m_peak = 0; }

private:
    static QString speaker() {
        return qEnvironmentVariable("ORLAVO_TEST_SPEAKER_SINK", QStringLiteral("speaker"));
    }

    PulseAudioInput m_input;
    std::atomic<int> m_peak = 0;
    bool m_started = false;
};

} // namespace

class tst_DesktopServices : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void playsTheSystemSoundsFromTheTheme_data();
    void playsTheSystemSoundsFromTheTheme();
    void aMissingSoundOrServerIsSilence();
    void picksX11OnThisDesktop();
    void fallsBackToTheNullPlatformWithAReason_data();
    void fallsBackToTheNullPlatformWithAReason();

private:
    SystemClock m_clock;
};

void tst_DesktopServices::initTestCase() {
    if (const QString missing = DesktopTest::missingDesktop(); !missing.isEmpty()) {
        QSKIP(qPrintable(missing));
    }
}

void tst_DesktopServices::playsTheSystemSoundsFromTheTheme_data() {
    QTest::addColumn<QString>("sound");
    QTest::newRow("start") << "Tink";
    QTest::newRow("done") << "Pop";
    QTest::newRow("error") << "Basso";
}

void tst_DesktopServices::playsTheSystemSoundsFromTheTheme() {
    QFETCH(QString, sound);
    SpeakerListener listener;
    QVERIFY(listener.isListening());
    CanberraSoundPlayer player;
    QTest::qWait(100);
    QCOMPARE(listener.peak(), 0);
    player.play(sound);
    QTRY_VERIFY_WITH_TIMEOUT(listener.peak() > 1000, 5000);
}

void tst_DesktopServices::aMissingSoundOrServerIsSilence() {
    {
        SpeakerListener listener;
        QVERIFY(listener.isListening());
        CanberraSoundPlayer player;
        player.play(QStringLiteral("no-such-sound-in-any-theme"));
        player.play(QString());
        QTest::qWait(500);
        QCOMPARE(listener.peak(), 0);
        // The player still works after a miss.
        player.play(QStringLiteral("Pop"));
        QTRY_VERIFY_WITH_TIMEOUT(listener.peak() > 1000, 5000);
    }
    const EnvironmentOverride noServer("PULSE_SERVER", QByteArray("unix:/nonexistent/orlavo-test"));
    CanberraSoundPlayer player;
    player.play(QStringLiteral("Pop"));
    player.play(QStringLiteral("Basso"));
}

void tst_DesktopServices::picksX11OnThisDesktop() {
    const EnvironmentOverride automatic("ORLAVO_PLATFORM", std::nullopt);
    PlatformServices services = PlatformFactory::create(m_clock);
    QCOMPARE(services.name, QStringLiteral("x11"));
    QCOMPARE(services.reason, QString());
    QVERIFY(services.permissionProbe->isAccessibilityTrusted());
    QVERIFY(services.permissionProbe->isMicrophoneAuthorized());
    QVERIFY(QCoro::waitFor(services.permissionProbe->requestMicrophoneAccess()));
    QCOMPARE(services.permissionProbe->unsupportedDesktopReason(), std::nullopt);
    QVERIFY(services.keySynthesizer->isAvailable());
    QVERIFY(services.keyEventSource->start([](const KeyEvent&) {}));
    services.keyEventSource->stop();
    QVERIFY(!services.screens->screens().empty());
    QCOMPARE(services.screens->screens().front().frame, QRectF(0, 0, 1920, 1080));
    QVERIFY(services.screens->screens().front().isMain);

    const auto exitStatus = [&](QString program, QStringList arguments) -> QCoro::Task<int> {
        const Result<int> ran =
            co_await services.processLauncher->run(std::move(program), std::move(arguments));
        co_return ran.ok() ? ran.value() : -1;
    };
    QCOMPARE(
        QCoro::waitFor(exitStatus(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("exit 3")})),
        3);
    QCOMPARE(QCoro::waitFor(exitStatus(QStringLiteral("/nonexistent/program"), {})), -1);
    QVERIFY(!services.processLauncher->startDetached(QStringLiteral("/nonexistent/program"), {}).ok());
}

void tst_DesktopServices::fallsBackToTheNullPlatformWithAReason_data() {
    QTest::addColumn<std::optional<QByteArray>>("platform");
    QTest::addColumn<std::optional<QByteArray>>("display");
    QTest::addColumn<QString>("reason");
    QTest::newRow("asked for") << std::optional<QByteArray>("null") << std::optional<QByteArray>()
                               << "ORLAVO_PLATFORM=null";
    QTest::newRow("unknown platform") << std::optional<QByteArray>("wayland") << std::optional<QByteArray>()
                                      << "ORLAVO_PLATFORM=wayland is not a known platform";
    QTest::newRow("display gone") << std::optional<QByteArray>() << std::optional<QByteArray>(":4999")
                                  << "Orlavo needs an X11 session";
}

void tst_DesktopServices::fallsBackToTheNullPlatformWithAReason() {
    QFETCH(std::optional<QByteArray>, platform);
    QFETCH(std::optional<QByteArray>, display);
    QFETCH(QString, reason);
    const EnvironmentOverride platformOverride("ORLAVO_PLATFORM", platform);
    const EnvironmentOverride displayOverride("DISPLAY", display ? display : qgetenv("DISPLAY"));
    PlatformServices services = PlatformFactory::create(m_clock);
    QCOMPARE(services.name, QStringLiteral("null"));
    QVERIFY2(services.reason.contains(reason), qPrintable(services.reason));
    QCOMPARE(services.permissionProbe->unsupportedDesktopReason(), std::optional<QString>(services.reason));
    QVERIFY(!services.permissionProbe->isAccessibilityTrusted());
    QVERIFY(!services.keyEventSource->start([](const KeyEvent&) {}));
    QVERIFY(!services.keySynthesizer->tapKey(9, 0).ok());
    QVERIFY(!services.audioInput->isAuthorized());
    QCOMPARE(services.frontApplication->current(), std::nullopt);
    QCOMPARE(QCoro::waitFor(services.selectedTextReader->selectedText()), std::nullopt);
}

QTEST_MAIN(tst_DesktopServices)
#include "tst_DesktopServices.moc"
