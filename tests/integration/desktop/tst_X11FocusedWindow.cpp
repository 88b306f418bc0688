#include "DesktopTestSupport.h"
#include "TemporaryEnvironment.h"
#include "platform/linux/x11/X11ConnectionProvider.h"
#include "platform/linux/x11/X11FrontApplication.h"

#include <QTest>

#include <memory>

class tst_X11FocusedWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void namesTheActiveApplication_data();
    void namesTheActiveApplication();
    void aWindowThatVanishedIsNoApplication();

private:
    TemporaryEnvironment m_applications;
    std::shared_ptr<X11ConnectionProvider> m_connections = std::make_shared<X11ConnectionProvider>();
    std::unique_ptr<DesktopTest::XClient> m_client;
};

void tst_X11FocusedWindow::initTestCase() {
    DESKTOP_TEST_REQUIRE_DESKTOP();
    m_client = std::make_unique<DesktopTest::XClient>();
    QVERIFY(m_client->isOpen());
    // Installed applications, as desktop files describe them.
    m_applications.write(QStringLiteral("vendor/orlavoterm.desktop"),
                         "[Desktop Entry]\nType=Application\nName=Test Term\nStartupWMClass=OrlavoTerm\n"
                         "Categories=System;TerminalEmulator;\n");
}

void tst_X11FocusedWindow::namesTheActiveApplication_data() {
    QTest::addColumn<QString>("windowClass");
    QTest::addColumn<QString>("instance");
    QTest::addColumn<QString>("displayName");
    QTest::addColumn<bool>("declaredTerminal");
    QTest::newRow("desktop file by window class, a terminal") << "OrlavoTerm"
                                                              << "orlavoterm"
                                                              << "Test Term" << true;
    QTest::newRow("unknown application") << "Zzyzx"
                                         << "zzyzx"
                                         << "Zzyzx" << false;
}

void tst_X11FocusedWindow::namesTheActiveApplication() {
    QFETCH(QString, windowClass);
    QFETCH(QString, instance);
    QFETCH(QString, displayName);
    QFETCH(bool, declaredTerminal);
    const X11FrontApplication front(m_connections, {m_applications.path()});
    DesktopTest::TestWindow window;
    QVERIFY(window.start(windowClass, instance));
    QTRY_VERIFY(front.current() && front.current()->windowClass == windowClass);
    QCOMPARE(front.current()->displayName, displayName);
    QCOMPARE(front.current()->instanceName, instance);
    QCOMPARE(front.current()->isTerminalEmulator, declaredTerminal);
}

void tst_X11FocusedWindow::aWindowThatVanishedIsNoApplication() {
    const X11FrontApplication front(m_connections, {m_applications.path()});
    DesktopTest::TestWindow window;
    QVERIFY(window.start(QStringLiteral("OrlavoTerm"), QStringLiteral("orlavoterm")));
    QTRY_VERIFY(front.current().has_value());

    // The window manager's answer outlived the window: it closed between the two questions.
    const unsigned long gone = m_client->createWindow("gone", "Gone", false);
    m_client->destroyWindow(gone);
    m_client->setActiveWindowProperty(gone);
    QCOMPARE(front.current(), std::nullopt);
    m_client->setActiveWindowProperty(0);
    QCOMPARE(front.current(), std::nullopt);

    // Nothing broke: the next question about a live window is answered.
    m_client->setActiveWindowProperty(window.windowId());
    QVERIFY(front.current().has_value());
    QCOMPARE(front.current()->displayName, QStringLiteral("Test Term"));
}

QTEST_MAIN(tst_X11FocusedWindow)
#include "tst_X11FocusedWindow.moc"
