#include "DesktopTestSupport.h"
#include "core/time/SystemClock.h"
#include "platform/PlatformFactory.h"
#include "platform/linux/pulse/PulseAudioInput.h"
#include "platform/linux/sound/CanberraSoundPlayer.h"

#include <QCoroTask>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <cstdlib>

namespace {

// Listens to what the desktop plays: the speaker's monitor as the input, loudest sample kept.
class SpeakerListener {
public:
    SpeakerListener() {
        DesktopTest::setDefaultSource(
            qEnvironmentVariable("ORLAVO_TEST_SPEAKER_SINK", QStringLiteral("speaker")) +
            QStringLiteral(".monitor"));
        const auto keepPeak = [this](const void* data, std::size_t frames, const AudioFormat& format) {
            if (format.sampleType != AudioFormat::SampleType::int16) {
                return;
            }
            const auto* samples = static_cast<const qint16*>(data);
            int peak = m_peak;
            for (std::size_t index = 0; index < frames * std::size_t(format.channels); ++index) {
                peak = std::max(peak, std::abs(int(samples[index])));
            }
            m_peak = peak;
        };
        m_started = QCoro::waitFor(m_input.start(keepPeak, nullptr)).ok();
    }
    ~SpeakerListener() {
        m_input.stop();
        DesktopTest::setDefaultSource();
    }
    SpeakerListener(const SpeakerListener&) = delete;
    SpeakerListener& operator=(const SpeakerListener&) = delete;

    bool isListening() const { return m_started; }
    int peak() const { return m_peak; }

private:
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
    void noSoundServerIsSilence();
    void picksX11OnThisDesktop();
    void fallsBackToTheNullPlatformWithAReason_data();
    void fallsBackToTheNullPlatformWithAReason();

private:
    SystemClock m_clock;
};

void tst_DesktopServices::initTestCase() {
    DESKTOP_TEST_REQUIRE_DESKTOP();
}

void tst_DesktopServices::playsTheSystemSoundsFromTheTheme_data() {
    QTest::addColumn<QString>("sound");
    QTest::addColumn<bool>("audible");
    QTest::newRow("start") << "Tink" << true;
    QTest::newRow("error") << "Basso" << true;
    // A sound the theme does not have is silence, never an error.
    QTest::newRow("missing") << "no-such-sound-in-any-theme" << false;
    QTest::newRow("no name") << QString() << false;
}

void tst_DesktopServices::playsTheSystemSoundsFromTheTheme() {
    QFETCH(QString, sound);
    QFETCH(bool, audible);
    SpeakerListener listener;
    QVERIFY(listener.isListening());
    CanberraSoundPlayer player;
    QTest::qWait(100);
    QCOMPARE(listener.peak(), 0);
    player.play(sound);
    if (audible) {
        QTRY_VERIFY_WITH_TIMEOUT(listener.peak() > 1000, 5000);
    } else {
        QTest::qWait(500);
        QCOMPARE(listener.peak(), 0);
    }
}

void tst_DesktopServices::noSoundServerIsSilence() {
    const DesktopTest::EnvironmentOverride noServer("PULSE_SERVER",
                                                    QByteArray("unix:/nonexistent/orlavo-test"));
    CanberraSoundPlayer player;
    player.play(QStringLiteral("Pop"));
}

void tst_DesktopServices::picksX11OnThisDesktop() {
    const DesktopTest::EnvironmentOverride automatic("ORLAVO_PLATFORM", std::nullopt);
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
    QVERIFY(services.processLauncher->startDetached(QStringLiteral("true"), {}).ok());
}

void tst_DesktopServices::fallsBackToTheNullPlatformWithAReason_data() {
    QTest::addColumn<std::optional<QByteArray>>("platform");
    QTest::addColumn<std::optional<QByteArray>>("display");
    QTest::addColumn<QString>("reason");
    QTest::newRow("unknown platform") << std::optional<QByteArray>("mir") << std::optional<QByteArray>()
                                      << "ORLAVO_PLATFORM=mir is not a known platform";
    QTest::newRow("display gone") << std::optional<QByteArray>() << std::optional<QByteArray>(":4999")
                                  << "Orlavo needs an X11 session";
}

void tst_DesktopServices::fallsBackToTheNullPlatformWithAReason() {
    QFETCH(std::optional<QByteArray>, platform);
    QFETCH(std::optional<QByteArray>, display);
    QFETCH(QString, reason);
    const DesktopTest::EnvironmentOverride platformOverride("ORLAVO_PLATFORM", platform);
    const DesktopTest::EnvironmentOverride displayOverride("DISPLAY", display ? display : qgetenv("DISPLAY"));
    PlatformServices services = PlatformFactory::create(m_clock);
    QCOMPARE(services.name, QStringLiteral("null"));
    QVERIFY2(services.reason.contains(reason), qPrintable(services.reason));
    QCOMPARE(services.permissionProbe->unsupportedDesktopReason(), std::optional<QString>(services.reason));
    QVERIFY(!services.keyEventSource->start([](const KeyEvent&) {}));
    QVERIFY(!services.audioInput->isAuthorized());
}

QTEST_MAIN(tst_DesktopServices)
#include "tst_DesktopServices.moc"
