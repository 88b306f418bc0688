#include "DesktopTestSupport.h"
#include "qt/QtClipboardPasteboard.h"

#include <QBuffer>
#include <QImage>
#include <QTest>

#include <algorithm>

using DesktopTest::readSelection;

namespace {

QByteArray pngBytes() {
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

bool holds(const PasteboardSnapshot& snapshot, const QString& format, const QByteArray& bytes) {
    return std::any_of(snapshot.formats.cbegin(), snapshot.formats.cend(),
                       [&](const auto& held) { return held.first == format && held.second == bytes; });
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
    QTest::newRow("rich text") << QStringLiteral("text/html") << QByteArray("<b>bold</b> words");
    QTest::newRow("image") << QStringLiteral("image/png") << pngBytes();
    QTest::newRow("files") << QStringLiteral("text/uri-list") << QByteArray("file:///tmp/a.txt\r\n");
}

void tst_X11Clipboard::keepsEveryFormatOfTheUsersClipboard() {
    QFETCH(QString, target);
    QFETCH(QByteArray, content);
    PasteboardSnapshot saved;
    {
        // Once we write, the owner has lost the clipboard: only the snapshot holds its content.
        const DesktopTest::SelectionOwner owner(QStringLiteral("clipboard"), target, content);
        QTRY_VERIFY(holds(m_pasteboard.snapshot(), target, content));
        saved = m_pasteboard.snapshot();
        m_pasteboard.setText(QStringLiteral("dictation"));
    }
    QCOMPARE(readSelection(QStringLiteral("clipboard")), QByteArray("dictation"));
    m_pasteboard.restore(saved);
    QCOMPARE(readSelection(QStringLiteral("clipboard"), target), content);
}

void tst_X11Clipboard::writesThePrimarySelectionAndEmptiesTheClipboard() {
    m_pasteboard.setPrimaryText(QStringLiteral("for Shift+Insert"));
    QCOMPARE(readSelection(QStringLiteral("primary")), QByteArray("for Shift+Insert"));
    m_pasteboard.setText(QStringLiteral("something"));
    // A snapshot of an empty clipboard restores to an empty one.
    m_pasteboard.restore(PasteboardSnapshot{});
    QCOMPARE(m_pasteboard.text(), std::nullopt);
    QCOMPARE(readSelection(QStringLiteral("clipboard")), QByteArray());
}

QTEST_MAIN(tst_X11Clipboard)
#include "tst_X11Clipboard.moc"
