#include "DesktopTestSupport.h"
#include "TemporaryEnvironment.h"
#include "x11/X11ConnectionProvider.h"
#include "x11/X11FrontApplication.h"
#include "x11/X11SelectedTextReader.h"

#include <QCoroTask>
#include <QElapsedTimer>
#include <QTest>

#include <memory>

namespace {

std::optional<QString> readSelection(X11SelectedTextReader& reader) {
    return QCoro::waitFor(reader.selectedText());
}

} // namespace

class tst_X11FocusedWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void namesTheActiveApplication_data();
    void namesTheActiveApplication();
    void aWindowThatVanishedIsNoApplication();
    void readsTheSelectionOfTheActiveApplicationOnly();
    void anOwnerThatDoesNotAnswerIsNoSelection();

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

void tst_X11FocusedWindow::readsTheSelectionOfTheActiveApplicationOnly() {
    X11SelectedTextReader reader(m_connections);
    const std::optional<QString> text = QStringLiteral("  make this formal, ünïcode ✓ ");
    DesktopTest::TestWindow window;
    QVERIFY(window.start(QStringLiteral("OrlavoEditor"), QStringLiteral("orlavo-editor"), *text));
    QCOMPARE(readSelection(reader), std::nullopt);
    QVERIFY(window.selectAll());
    QCOMPARE(readSelection(reader), text);

    // Two questions at once get the one answer.
    auto first = reader.selectedText();
    auto second = reader.selectedText();
    QCOMPARE(QCoro::waitFor(std::move(second)), text);
    QCOMPARE(QCoro::waitFor(std::move(first)), text);

    // Another window in front: the selection left behind in the first one is not the user's now.
    DesktopTest::TestWindow other;
    QVERIFY(other.start(QStringLiteral("OrlavoOther"), QStringLiteral("orlavo-other")));
    QCOMPARE(readSelection(reader), std::nullopt);

    // A selection owned by a program without a window in front is ignored too.
    const DesktopTest::SelectionOwner owner(QStringLiteral("primary"), QStringLiteral("UTF8_STRING"),
                                            "from elsewhere");
    QCOMPARE(DesktopTest::readSelection(QStringLiteral("primary")), QByteArray("from elsewhere"));
    QCOMPARE(readSelection(reader), std::nullopt);
}

void tst_X11FocusedWindow::anOwnerThatDoesNotAnswerIsNoSelection() {
    X11SelectedTextReader reader(m_connections, 0.2);
    // This client never reads its events, so it never answers the request for its selection.
    const unsigned long window = m_client->createWindow("orlavo-silent", "OrlavoSilent");
    m_client->activate(window);
    QTRY_COMPARE(m_client->activeWindow(), window);
    m_client->ownPrimarySelection(window);

    QElapsedTimer elapsed;
    elapsed.start();
    QCOMPARE(readSelection(reader), std::nullopt);
    // It was asked and waited for (an immediate refusal takes a few milliseconds): the owner is
    // the active window's client. A coarse timer may fire up to 5% early.
    QCOMPARE_GE(elapsed.elapsed(), 150);
    m_client->destroyWindow(window);
}

QTEST_MAIN(tst_X11FocusedWindow)
#include "tst_X11FocusedWindow.moc"
