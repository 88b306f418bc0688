#include "platform/linux/qt/QtClipboardPasteboard.h"

#include "platform/linux/x11/X11ClipboardReader.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <memory>

namespace {

QClipboard* clipboard() {
    return QGuiApplication::clipboard();
}

QClipboard::Mode modeOf(PasteboardSelection selection) {
    return selection == PasteboardSelection::primary ? QClipboard::Selection : QClipboard::Clipboard;
}

bool ownedHere(QClipboard::Mode mode) {
    return mode == QClipboard::Selection ? clipboard()->ownsSelection() : clipboard()->ownsClipboard();
}

} // namespace

QtClipboardPasteboard::QtClipboardPasteboard(std::unique_ptr<X11ClipboardReader> reader)
    : m_reader(std::move(reader)) {}

QtClipboardPasteboard::~QtClipboardPasteboard() = default;

std::optional<QString> QtClipboardPasteboard::text() const {
    // Our own content is answered from memory; anybody else's would be a round trip to them.
    if (!ownedHere(QClipboard::Clipboard)) {
        return std::nullopt;
    }
    const QMimeData* data = clipboard()->mimeData(QClipboard::Clipboard);
    if (!data || !data->hasText()) {
        return std::nullopt;
    }
    return data->text();
}

QCoro::Task<PasteboardSnapshot> QtClipboardPasteboard::snapshot(PasteboardSelection selection) {
    const QClipboard::Mode mode = modeOf(selection);
    // Without the X11 reader (a Wayland session) Qt's own read is the only one there is.
    if (ownedHere(mode) || !m_reader) {
        PasteboardSnapshot snapshot;
        if (const QMimeData* data = clipboard()->mimeData(mode)) {
            for (const QString& format : data->formats()) {
                if (!format.startsWith(QLatin1String("application/x-qt-"))) {
                    snapshot.formats.append({format, data->data(format)});
                }
            }
        }
        co_return snapshot;
    }
    co_return co_await m_reader->read(selection);
}

void QtClipboardPasteboard::setText(const QString& text) {
    clipboard()->setText(text, QClipboard::Clipboard);
}

void QtClipboardPasteboard::restore(const PasteboardSnapshot& snapshot, PasteboardSelection selection) {
    const QClipboard::Mode mode = modeOf(selection);
    // A selection the user made since our paste is theirs.
    if (mode == QClipboard::Selection && (!clipboard()->supportsSelection() || !ownedHere(mode))) {
        return;
    }
    if (snapshot.isEmpty()) {
        clipboard()->clear(mode);
        return;
    }
    auto data = std::make_unique<QMimeData>();
    for (const auto& [format, bytes] : snapshot.formats) {
        data->setData(format, bytes);
    }
    // Qt offers the usual text aliases (UTF8_STRING, STRING, TEXT) only for "text/plain".
    if (const auto text = snapshot.text(); text && !data->hasFormat(QStringLiteral("text/plain"))) {
        data->setText(*text);
    }
    clipboard()->setMimeData(data.release(), mode);
}

void QtClipboardPasteboard::clear() {
    clipboard()->clear(QClipboard::Clipboard);
}

void QtClipboardPasteboard::setPrimaryText(const QString& text) {
    if (clipboard()->supportsSelection()) {
        clipboard()->setText(text, QClipboard::Selection);
    }
}
