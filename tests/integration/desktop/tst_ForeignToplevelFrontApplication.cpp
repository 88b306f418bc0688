// The front application on a real sway: the activated window's app id, named by its desktop file.
#include "DesktopTestSupport.h"
#include "TemporaryEnvironment.h"
#include "platform/linux/wayland/ForeignToplevelFrontApplication.h"
#include "platform/linux/wayland/WaylandConnection.h"

#include <QTest>

class tst_ForeignToplevelFrontApplication : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theActivatedWindowNamesTheApplication_data();
    void theActivatedWindowNamesTheApplication();
};

void tst_ForeignToplevelFrontApplication::theActivatedWindowNamesTheApplication_data() {
    QTest::addColumn<QString>("appId");
    QTest::addColumn<QByteArray>("desktopFile");
    QTest::addColumn<QString>("displayName");
    QTest::addColumn<bool>("isTerminal");
    QTest::newRow("named by its desktop file")
        << QStringLiteral("OrlavoTerm")
        << QByteArray("[Desktop Entry]\nType=Application\nName=Orlavo Term\nExec=true\n"
                      "Categories=System;TerminalEmulator;\n")
        << QStringLiteral("Orlavo Term") << true;
    QTest::newRow("no desktop file: the app id")
        << QStringLiteral("OrlavoPlain") << QByteArray() << QStringLiteral("OrlavoPlain") << false;
}

void tst_ForeignToplevelFrontApplication::theActivatedWindowNamesTheApplication() {
    DESKTOP_TEST_REQUIRE_WAYLAND();
    QFETCH(QString, appId);
    QFETCH(QByteArray, desktopFile);
    QFETCH(QString, displayName);
    QFETCH(bool, isTerminal);
    TemporaryEnvironment environment;
    const QString applications = environment.filePath(QStringLiteral("applications"));
    environment.write(QStringLiteral("applications/unrelated.desktop"),
                      "[Desktop Entry]\nType=Application\nName=Unrelated\nExec=true\n");
    if (!desktopFile.isEmpty()) {
        environment.write(QStringLiteral("applications/%1.desktop").arg(appId.toLower()), desktopFile);
    }
    Result<std::unique_ptr<WaylandConnection>> connection =
        WaylandConnection::connect({}, std::chrono::seconds(5));
    QVERIFY(connection);
    const std::unique_ptr<ForeignToplevelFrontApplication> front =
        ForeignToplevelFrontApplication::create(*connection.value(), {applications});
    QVERIFY(front);

    DesktopTest::TestWindow window;
    QVERIFY(window.start(appId, appId.toLower()));
    QTRY_VERIFY(front->current().has_value());
    const FrontApplicationInfo info = *front->current();
    QCOMPARE(info.windowClass, appId);
    QCOMPARE(info.displayName, displayName);
    QCOMPARE(info.isTerminalEmulator, isTerminal);

    // With no window left, nothing is in front: the application counts as "other".
    window.close();
    QTRY_VERIFY(!front->current().has_value());
}

QTEST_MAIN(tst_ForeignToplevelFrontApplication)
#include "tst_ForeignToplevelFrontApplication.moc"
