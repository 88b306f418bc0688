#include "DesktopTestSupport.h"
#include "core/paste/PasteService.h"
#include "platform/linux/atspi/AtspiSelectedTextReader.h"
#include "platform/linux/x11/X11ConnectionProvider.h"
#include "platform/linux/x11/X11Properties.h"

#include <QCoroTask>
#include <QElapsedTimer>
#include <QTest>

#include <memory>

using Toolkit = DesktopTest::TestWindow::Toolkit;
Q_DECLARE_METATYPE(Toolkit)

// The selection that decides whether a dictation is a command, read from real Qt and GTK text
// fields over the accessibility bus.
class tst_AtspiSelectedText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void onlyWhatIsSelectedNowCounts_data();
    void onlyWhatIsSelectedNowCounts();
    void aFieldThatDoesNotAnswerIsNoSelection_data();
    void aFieldThatDoesNotAnswerIsNoSelection();

private:
    std::optional<QString> read() { return QCoro::waitFor(m_reader->selectedText()); }

    std::shared_ptr<X11ConnectionProvider> m_connections = std::make_shared<X11ConnectionProvider>();
    std::unique_ptr<AtspiSelectedTextReader> m_reader;
};

void tst_AtspiSelectedText::initTestCase() {
    DESKTOP_TEST_REQUIRE_DESKTOP();
    m_reader = std::make_unique<AtspiSelectedTextReader>(
        [connections = m_connections] { return X11Properties::activeProcess(*connections); });
    QTRY_VERIFY_WITH_TIMEOUT(m_reader->isListening(), 10000);
}

void tst_AtspiSelectedText::onlyWhatIsSelectedNowCounts_data() {
    QTest::addColumn<Toolkit>("toolkit");
    QTest::newRow("Qt text field") << Toolkit::qt;
    QTest::newRow("GTK text field") << Toolkit::gtk;
}

void tst_AtspiSelectedText::onlyWhatIsSelectedNowCounts() {
    QFETCH(Toolkit, toolkit);
    const QString text = QStringLiteral("make this formal, ünïcode ✓");
    DesktopTest::TestWindow window(toolkit);
    QVERIFY(window.start(QStringLiteral("OrlavoField"), QStringLiteral("orlavo-field"), text));
    QVERIFY(window.selectAll());
    // Focus events travel on their own; the first read may come before the field's.
    QTRY_COMPARE(read(), std::optional<QString>(text));

    // The highlight is gone (a Qt field still owns PRIMARY): a dictation now is not a command.
    QVERIFY(window.deselect());
    QCOMPARE(read(), std::nullopt);
    QVERIFY(window.selectAll());
    QCOMPARE(read(), std::optional<QString>(text));

    // Another window in front: the selection left behind in the first one is not the user's now.
    DesktopTest::TestWindow other;
    QVERIFY(other.start(QStringLiteral("OrlavoOther"), QStringLiteral("orlavo-other")));
    QCOMPARE(read(), std::nullopt);
}

void tst_AtspiSelectedText::aFieldThatDoesNotAnswerIsNoSelection_data() {
    onlyWhatIsSelectedNowCounts_data();
}

void tst_AtspiSelectedText::aFieldThatDoesNotAnswerIsNoSelection() {
    QFETCH(Toolkit, toolkit);
    DesktopTest::TestWindow window(toolkit);
    QVERIFY(
        window.start(QStringLiteral("OrlavoHung"), QStringLiteral("orlavo-hung"), QStringLiteral("words")));
    QVERIFY(window.selectAll());
    QTRY_COMPARE(read(), std::optional<QString>(QStringLiteral("words")));

    QVERIFY(window.freeze(3));
    QElapsedTimer elapsed;
    elapsed.start();
    QCOMPARE(read(), std::nullopt);
    // Given up at the time limit, well before the field answers again.
    QCOMPARE_LT(elapsed.elapsed(), 2000);
}

QTEST_MAIN(tst_AtspiSelectedText)
#include "tst_AtspiSelectedText.moc"
