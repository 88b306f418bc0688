#include "DesktopTestSupport.h"
#include "qt/QtClipboardPasteboard.h"

#include <QBuffer>
#include <QImage>
#include <QTest>

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
    void keepsEveryFormatOfTheUsersClipboard_data();
    void keepsEveryFormatOfTheUsersClipboard();
    void writesThePrimarySelectionAndEmptiesTheClipboard();

private:
    QtClipboardPasteboard m_pasteboard;
};

void tst_X11Clipboard::initTestCase() {
    if (const QString missing = DesktopTest::missingDesktop(); !missing.isEmpty()) {
        QSKIP(qPrintable(missing));
    }
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

void tst_X11Clipboard::writesThePrimarySelectionAndEmptiesTheClipboard() {
    m_pasteboard.setPrimaryText(QStringLiteral("for Shift+Insert"));
    QCOMPARE(readSelection(QStringLiteral("primary"), QStringLiteral("UTF8_STRING")),
             QByteArray("for Shift+Insert"));
    m_pasteboard.setText(QStringLiteral("something"));
    // A snapshot of an empty clipboard restores to an empty one.
    m_pasteboard.restore(PasteboardSnapshot{});
    QCOMPARE(m_pasteboard.text(), std::nullopt);
    QCOMPARE(readSelection(QStringLiteral("clipboard"), QStringLiteral("UTF8_STRING")), QByteArray());
}

QTEST_MAIN(tst_X11Clipboard)
#include "tst_X11Clipboard.moc"
