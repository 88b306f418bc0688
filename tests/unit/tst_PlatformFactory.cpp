#include "PlatformFactory.h"
#include "time/SystemClock.h"

#include <QCoroTask>
#include <QTest>

// Off any desktop (the tests' offscreen platform) the factory hands out the null platform, which
// does nothing and says why.
class tst_PlatformFactory : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void anInterfaceOffX11GetsTheNullPlatform();
};

void tst_PlatformFactory::anInterfaceOffX11GetsTheNullPlatform() {
    qunsetenv("ORLAVO_PLATFORM");
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

QTEST_MAIN(tst_PlatformFactory)
#include "tst_PlatformFactory.moc"
