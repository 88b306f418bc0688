#include "platform/linux/session/DesktopSession.h"

#include <QTest>

class tst_DesktopSession : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void choosesTheFamily_data();
    void choosesTheFamily();
};

void tst_DesktopSession::choosesTheFamily_data() {
    // ORLAVO_PLATFORM, WAYLAND_DISPLAY, XDG_SESSION_TYPE, DISPLAY, QT_QPA_PLATFORM
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("qtPlatform");

    QTest::newRow("GNOME on Wayland with XWayland: Wayland, interface on XWayland")
        << QStringList{"", "wayland-0", "wayland", ":0", ""} << "wayland"
        << "a Wayland session (WAYLAND_DISPLAY=wayland-0); XWayland (DISPLAY=:0) would hear only the keys "
           "typed "
           "into X11 windows"
        << "xcb";
    QTest::newRow("Wayland without XWayland") << QStringList{"", "wayland-1", "", "", ""} << "wayland"
                                              << "a Wayland session (WAYLAND_DISPLAY=wayland-1)"
                                              << "wayland";
    QTest::newRow("session type alone says Wayland")
        << QStringList{"", "", "wayland", ":1", ""} << "wayland"
        << "a Wayland session (XDG_SESSION_TYPE=wayland); XWayland "
           "(DISPLAY=:1) would hear only the keys typed into X11 windows"
        << "xcb";
    QTest::newRow("X11 session") << QStringList{"", "", "x11", ":0", ""} << "x11"
                                 << "an X11 session (DISPLAY=:0)"
                                 << "xcb";
    QTest::newRow("x11 asked for in a Wayland session")
        << QStringList{"x11", "wayland-0", "wayland", ":0", ""} << "x11"
        << "ORLAVO_PLATFORM=x11 asks for X11"
        << "xcb";
    QTest::newRow("wayland asked for in an X11 session")
        << QStringList{"wayland", "", "x11", ":0", ""} << "wayland"
        << "ORLAVO_PLATFORM=wayland asks for Wayland"
        << "xcb";
    QTest::newRow("null asked for") << QStringList{"null", "wayland-0", "wayland", ":0", "offscreen"}
                                    << "null"
                                    << "ORLAVO_PLATFORM=null asks for no desktop platform"
                                    << "offscreen";
    QTest::newRow("unknown platform asked for")
        << QStringList{"mir", "", "", ":0", ""} << "null"
        << "ORLAVO_PLATFORM=mir is not a known platform (x11, wayland, null)"
        << "xcb";
    QTest::newRow("no display at all") << QStringList{"", "", "tty", "", ""} << "null"
                                       << "no graphical session: neither WAYLAND_DISPLAY nor DISPLAY is set"
                                       << "";
}

void tst_DesktopSession::choosesTheFamily() {
    QFETCH(QStringList, environment);
    QFETCH(QString, family);
    QFETCH(QString, reason);
    QFETCH(QString, qtPlatform);

    const DesktopSession::Environment given{environment[0], environment[1], environment[2], environment[3],
                                            environment[4]};
    const DesktopSession session = DesktopSession::detect(given);
    QCOMPARE(DesktopSession::familyName(session.family), family);
    QCOMPARE(session.reason, reason);
    QCOMPARE(DesktopSession::qtPlatform(given), qtPlatform);
}

QTEST_MAIN(tst_DesktopSession)
#include "tst_DesktopSession.moc"
