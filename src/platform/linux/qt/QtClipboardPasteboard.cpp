#include "QtClipboardPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <memory>

namespace {

QClipboard* clipboard() {
    return QGuiApplication::clipboard();
}

// Qt's own pseudo formats stand for data it converts itself (an image as a QImage); the real
// formats beside them carry the same content.
bool isQtInternalFormat(const QString& format) {
    return format.startsWith(QLatin1String("application/x-qt-"));
}

} // namespace

std::optional<QString> QtClipboardPasteboard::text() const {
    const QMimeData* data = clipboard()->mimeData(QClipboard::Clipboard);
    if (!data || !data->hasText()) {
        return std::nullopt;
    }
    return data->text();
}

PasteboardSnapshot QtClipboardPasteboard::snapshot() const {
    PasteboardSnapshot snapshot;
    const QMimeData* data = clipboard()->mimeData(QClipboard::Clipboard);
    if (!data) {
        return snapshot;
    }
    for (const QString& format : data->formats()) {
        if (isQtInternalFormat(format)) {
            continue;
        }
        snapshot.formats.append({format, data->data(format)});
    }
    return snapshot;
}

void QtClipboardPasteboard::setText(const QString& text) {
    clipboard()->setText(text, QClipboard::Clipboard);
}

void QtClipboardPasteboard::restore(const PasteboardSnapshot& snapshot) {
    if (snapshot.isEmpty()) {
        clear();
        return;
    }
    auto data = std::make_unique<QMimeData>();
    for (const auto& [format, bytes] : snapshot.formats) {
        data->setData(format, bytes);
    }
    clipboard()->setMimeData(data.release(), QClipboard::Clipboard);
}

void QtClipboardPasteboard::clear() {
    clipboard()->clear(QClipboard::Clipboard);
}

void QtClipboardPasteboard::setPrimaryText(const QString& text) {
    if (clipboard()->supportsSelection()) {
        clipboard()->setText(text, QClipboard::Selection);
    }
}
