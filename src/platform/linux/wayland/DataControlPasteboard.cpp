#include "platform/linux/wayland/DataControlPasteboard.h"

#include "platform/linux/wayland/WaylandDataControl.h"
#include "platform/linux/wayland/WaylandSelectionRead.h"

DataControlPasteboard::DataControlPasteboard(std::unique_ptr<WaylandDataControl> dataControl,
                                             std::chrono::milliseconds timeout)
    : m_dataControl(std::move(dataControl))
    , m_timeout(timeout) {}

DataControlPasteboard::~DataControlPasteboard() = default;

QList<QPair<QString, QByteArray>> DataControlPasteboard::textFormats(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    // The X11 names serve clients behind XWayland.
    return {{QStringLiteral("text/plain;charset=utf-8"), utf8},
            {QStringLiteral("text/plain"), utf8},
            {QStringLiteral("UTF8_STRING"), utf8},
            {QStringLiteral("STRING"), text.toLatin1()},
            {QStringLiteral("TEXT"), utf8}};
}

std::optional<QString> DataControlPasteboard::text() const {
    const WaylandDataControl::Formats* own = m_dataControl->ownContent(PasteboardSelection::clipboard);
    if (!own) {
        return std::nullopt;
    }
    return PasteboardSnapshot{*own}.text();
}

QCoro::Task<PasteboardSnapshot> DataControlPasteboard::snapshot(PasteboardSelection selection) {
    // Our own content is answered from memory rather than through a pipe to ourselves.
    if (const WaylandDataControl::Formats* own = m_dataControl->ownContent(selection)) {
        co_return PasteboardSnapshot{*own};
    }
    auto* read = new WaylandSelectionRead(*m_dataControl, selection, m_timeout, maxBytes);
    PasteboardSnapshot snapshot = co_await read->result();
    read->deleteLater();
    co_return snapshot;
}

void DataControlPasteboard::setText(const QString& text) {
    m_dataControl->setSelection(PasteboardSelection::clipboard, textFormats(text));
}

void DataControlPasteboard::restore(const PasteboardSnapshot& snapshot, PasteboardSelection selection) {
    // A primary selection the user made since our paste is theirs.
    if (selection == PasteboardSelection::primary && !m_dataControl->ownContent(selection)) {
        return;
    }
    m_dataControl->setSelection(selection, snapshot.formats);
}

void DataControlPasteboard::clear() {
    m_dataControl->setSelection(PasteboardSelection::clipboard, {});
}

void DataControlPasteboard::setPrimaryText(const QString& text) {
    m_dataControl->setSelection(PasteboardSelection::primary, textFormats(text));
}
