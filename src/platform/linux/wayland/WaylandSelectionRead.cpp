#include "platform/linux/wayland/WaylandSelectionRead.h"

#include "platform/linux/async/PipeReader.h"
#include "platform/linux/wayland/WaylandDataControl.h"

#include <algorithm>

WaylandSelectionRead::WaylandSelectionRead(WaylandDataControl& dataControl, PasteboardSelection selection,
                                           std::chrono::milliseconds timeout, qsizetype maxBytes)
    : m_maxBytes(maxBytes) {
    for (const QString& mimeType : dataControl.offeredTypes(selection)) {
        auto reader = std::make_unique<PipeReader>(dataControl.receive(selection, mimeType), maxBytes);
        connect(reader.get(), &PipeReader::progressed, this, &WaylandSelectionRead::check);
        connect(reader.get(), &PipeReader::finished, this, &WaylandSelectionRead::check);
        m_transfers.push_back(Transfer{mimeType, std::move(reader)});
    }
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, &WaylandSelectionRead::finish);
    m_timeout.start(timeout);
    // From the event loop: whoever awaits the result is waiting by then.
    QTimer::singleShot(0, this, &WaylandSelectionRead::check);
}

WaylandSelectionRead::~WaylandSelectionRead() = default;

void WaylandSelectionRead::check() {
    if (m_done) {
        return;
    }
    qsizetype total = 0;
    bool reading = false;
    for (const Transfer& transfer : m_transfers) {
        total += transfer.reader->data().size();
        reading = reading || transfer.reader->state() == PipeReader::State::reading;
    }
    // Past the limit, the types still arriving are what no longer fits.
    if (!reading || total > m_maxBytes) {
        finish();
    }
}

void WaylandSelectionRead::finish() {
    if (m_done) {
        return;
    }
    m_done = true;
    m_timeout.stop();
    PasteboardSnapshot snapshot;
    for (Transfer& transfer : m_transfers) {
        if (transfer.reader->state() == PipeReader::State::complete) {
            snapshot.formats.append({transfer.mimeType, transfer.reader->data()});
        }
        transfer.reader->abandon();
    }
    // Resumes the waiter, which may delete this object later but never inside this call.
    m_result.set(std::move(snapshot));
}
