#include "TemporaryEnvironment.h"
#include "core/time/SystemClock.h"
#include "platform/PlatformFactory.h"

#include <QCoroTask>
#include <QGuiApplication>
#include <QTest>

// Off any desktop (the tests' offscreen platform) the factory hands out the null platform, which
// does nothing and says why.
class tst_PlatformFactory : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void anInterfaceOffX11GetsTheNullPlatform();
    void waylandSaysWhatEachPortUses();
};

void tst_PlatformFactory::anInterfaceOffX11GetsTheNullPlatform() {
    TemporaryEnvironment environment;
    environment.set("ORLAVO_PLATFORM", {});
    environment.set("WAYLAND_DISPLAY", {});
    environment.set("XDG_SESSION_TYPE", "x11");
    environment.set("DISPLAY", ":99");
    const SystemClock clock;
    PlatformServices services = PlatformFactory::create(clock);
    QCOMPARE(services.name, QStringLiteral("null"));
    QVERIFY2(services.reason.contains(QLatin1String("\"offscreen\"")), qPrintable(services.reason));
    QCOMPARE(services.permissionProbe->unsupportedDesktopReason(), std::optional<QString>(services.reason));
    QVERIFY(!QCoro::waitFor(services.permissionProbe->requestMicrophoneAccess()));

    // The null clipboard still holds what is written to it, so the paste flow runs through.
    services.pasteboard->setText(QStringLiteral("dictated"));
    QCOMPARE(services.pasteboard->text(), std::optional<QString>(QStringLiteral("dictated")));
    const PasteboardSnapshot snapshot =
        QCoro::waitFor(services.pasteboard->snapshot(PasteboardSelection::clipboard));
    services.pasteboard->clear();
    QCOMPARE(services.pasteboard->text(), std::nullopt);
    services.pasteboard->restore(snapshot, PasteboardSelection::clipboard);
    QCOMPARE(services.pasteboard->text(), std::optional<QString>(QStringLiteral("dictated")));
    const auto runs = [&]() -> QCoro::Task<bool> {
        co_return (co_await services.processLauncher->run(QStringLiteral("true"), {})).ok();
    };
    QVERIFY(!QCoro::waitFor(runs()));
    QCOMPARE(services.screens->screens().size(), std::size_t(1));
}

// Whatever this machine lets us read and write, the services and `orlavo doctor` tell the same.
void tst_PlatformFactory::waylandSaysWhatEachPortUses() {
    TemporaryEnvironment environment;
    environment.set("ORLAVO_PLATFORM", {});
    environment.set("WAYLAND_DISPLAY", "wayland-9");
    const SystemClock clock;
    const PlatformServices services = PlatformFactory::create(clock);
    QCOMPARE(services.name, QStringLiteral("wayland"));
    QVERIFY(!services.showsOverlay);
    const std::vector<PortPath> described = PlatformFactory::describe(QGuiApplication::platformName());
    QCOMPARE(described.size(), services.paths.size());

    const PortPath keys = services.paths[1];
    QCOMPARE(described[1].reason, keys.reason);
    const std::optional<QString> unheard = services.permissionProbe->unsupportedDesktopReason();
    QCOMPARE(keys.path == QLatin1String("evdev"), !unheard.has_value());
    QVERIFY2(!unheard ||
                 (unheard->contains(keys.reason) && keys.reason.contains(QLatin1String("`orlavo toggle`"))),
             qPrintable(keys.reason));

    const PortPath typing = services.paths[2];
    QCOMPARE(typing.path == QLatin1String("uinput"), services.keySynthesizer->isAvailable());
    // Only where nothing would be typed into the desktop this runs on.
    if (!services.keySynthesizer->isAvailable()) {
        const Result<void> tapped = services.keySynthesizer->tapKey(9, 0);
        QVERIFY(!tapped);
        QVERIFY2(typing.reason.contains(tapped.error().description.section(QLatin1String(": "), 1)),
                 qPrintable(typing.reason));
    }
}

QTEST_MAIN(tst_PlatformFactory)
#include "tst_PlatformFactory.moc"
