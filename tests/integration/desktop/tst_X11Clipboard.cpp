#include "DesktopTestSupport.h"
#include "desktop/DesktopEntryIndex.h"
#include "hotkey/KeyCodes.h"
#include "input/SyntheticKeyLedger.h"
#include "paste/TerminalEmulators.h"
#include "qt/QtClipboardPasteboard.h"
#include "time/SystemClock.h"
#include "x11/X11ConnectionProvider.h"
#include "x11/X11FrontApplication.h"
#include "x11/XTestKeySynthesizer.h"

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Another program that owns the clipboard, as the user's copy in another application would.
class ClipboardOwner {
public:
    ClipboardOwner(const QString& selection, const QString& target, const QByteArray& content) {
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        m_process.start(QStringLiteral("xclip"),
                        {QStringLiteral("-selection"), selection, QStringLiteral("-target"), target,
                         QStringLiteral("-quiet")});
        m_process.waitForStarted(5000);
        m_process.write(content);
        m_process.closeWriteChannel();
    }
    ~ClipboardOwner() {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
    ClipboardOwner(const ClipboardOwner&) = delete;
    ClipboardOwner& operator=(const ClipboardOwner&) = delete;

private:
    QProcess m_process;
};

QByteArray readSelection(const QString& selection, const QString& target) {
    QByteArray output;
    DesktopTest::run(
        QStringLiteral("xclip"),
        {QStringLiteral("-selection"), selection, QStringLiteral("-target"), target, QStringLiteral("-o")},
        &output);
    return output;
}

QByteArray pngBytes() {
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

bool holds(const PasteboardSnapshot& snapshot, const QString& format, const QByteArray& bytes) {
    for (const auto& [name, data] : snapshot.formats) {
        if (name == format && data == bytes) {
            return true;
        }
    }
    return false;
}

} // namespace

class tst_X11Clipboard : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void pastesIntoAWindowAndPutsTheUsersClipboardBack();
    void keepsEveryFormatOfTheUsersClipboard_data();
    void keepsEveryFormatOfTheUsersClipboard();
    void pastesIntoXtermThroughThePrimarySelection();

private:
    SystemClock m_clock;
    QtClipboardPasteboard m_pasteboard;
    std::shared_ptr<X11ConnectionProvider> m_connections = std::make_shared<X11ConnectionProvider>();
    std::unique_ptr<XTestKeySynthesizer> m_synthesizer;
};

void tst_X11Clipboard::initTestCase() {
    if (const QString missing = DesktopTest::missingDesktop(); !missing.isEmpty()) {
        QSKIP(qPrintable(missing));
    }
    m_synthesizer =
        std::make_unique<XTestKeySynthesizer>(m_connections, std::make_shared<SyntheticKeyLedger>(), m_clock);
    QVERIFY(m_synthesizer->isAvailable());
}

void tst_X11Clipboard::pastesIntoAWindowAndPutsTheUsersClipboardBack() {
    const ClipboardOwner owner(QStringLiteral("clipboard"), QStringLiteral("UTF8_STRING"),
                               "the user’s own words");
    QTRY_COMPARE(m_pasteboard.text(), std::optional<QString>(QStringLiteral("the user’s own words")));
    DesktopTest::TestWindow window;
    QVERIFY(window.start(QStringLiteral("OrlavoPasteTarget"), QStringLiteral("orlavo-paste-target")));

    const PasteboardSnapshot saved = m_pasteboard.snapshot();
    QCOMPARE(saved.text(), std::optional<QString>(QStringLiteral("the user’s own words")));
    m_pasteboard.setText(QStringLiteral("Dictated: ünïcödé ✓"));
    QVERIFY(m_synthesizer->tapKey(KeyCodes::v, ModifierFlags::control).ok());
    QVERIFY2(window.waitForText(QStringLiteral("Dictated: ünïcödé ✓")), qPrintable(window.text()));

    // Our text stays on offer until the restore; then every other client gets the user's back.
    QCOMPARE(QString::fromUtf8(readSelection(QStringLiteral("clipboard"), QStringLiteral("UTF8_STRING"))),
             QStringLiteral("Dictated: ünïcödé ✓"));
    m_pasteboard.restore(saved);
    QCOMPARE(QString::fromUtf8(readSelection(QStringLiteral("clipboard"), QStringLiteral("UTF8_STRING"))),
             QStringLiteral("the user’s own words"));

    // An empty snapshot (nothing was on the clipboard) restores to nothing.
    m_pasteboard.restore(PasteboardSnapshot{});
    QCOMPARE(m_pasteboard.text(), std::nullopt);
}

void tst_X11Clipboard::keepsEveryFormatOfTheUsersClipboard_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("plain text") << QStringLiteral("text/plain") << QByteArray("plain words");
    QTest::newRow("rich text") << QStringLiteral("text/html") << QByteArray("<b>bold</b> words");
    QTest::newRow("image") << QStringLiteral("image/png") << pngBytes();
    QTest::newRow("files") << QStringLiteral("text/uri-list") << QByteArray("file:///tmp/a.txt\r\n");
}

void tst_X11Clipboard::keepsEveryFormatOfTheUsersClipboard() {
    QFETCH(QString, target);
    QFETCH(QByteArray, content);
    PasteboardSnapshot saved;
    {
        const ClipboardOwner owner(QStringLiteral("clipboard"), target, content);
        QTRY_VERIFY(holds(m_pasteboard.snapshot(), target, content));
        saved = m_pasteboard.snapshot();
        m_pasteboard.setText(QStringLiteral("dictation"));
    }
    QCOMPARE(readSelection(QStringLiteral("clipboard"), QStringLiteral("UTF8_STRING")),
             QByteArray("dictation"));
    m_pasteboard.restore(saved);
    QCOMPARE(readSelection(QStringLiteral("clipboard"), target), content);
}

void tst_X11Clipboard::pastesIntoXtermThroughThePrimarySelection() {
    QTemporaryDir directory;
    const QString received = directory.filePath(QStringLiteral("received"));
    QProcess xterm;
    xterm.setProcessChannelMode(QProcess::ForwardedChannels);
    xterm.start(QStringLiteral("xterm"), {QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"),
                                          QStringLiteral("stty -icanon; head -c 13 > '%1'").arg(received)});
    QVERIFY(xterm.waitForStarted(5000));

    X11FrontApplication front(m_connections, DesktopEntryIndex::applicationDirectories());
    QTRY_VERIFY_WITH_TIMEOUT(front.current() && front.current()->windowClass == QLatin1String("XTerm"),
                             10000);
    // xterm reads the primary selection on Shift+Insert and sends a literal ^V on Control+Shift+V.
    QCOMPARE(TerminalEmulators::pasteChordFor(*front.current()), TerminalEmulators::PasteChord::shiftInsert);

    m_pasteboard.setText(QStringLiteral("echo dictated"));
    m_pasteboard.setPrimaryText(QStringLiteral("echo dictated"));
    QCOMPARE(readSelection(QStringLiteral("primary"), QStringLiteral("UTF8_STRING")),
             QByteArray("echo dictated"));
    QVERIFY(m_synthesizer->tapKey(KeyCodes::insert, ModifierFlags::shift).ok());

    // xterm asks us for the selection: the event loop must run while we wait.
    QTRY_COMPARE_WITH_TIMEOUT(xterm.state(), QProcess::NotRunning, 10000);
    QFile file(received);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("echo dictated"));
}

QTEST_MAIN(tst_X11Clipboard)
#include "tst_X11Clipboard.moc"
