#pragma once

#include "core/ports/Pasteboard.h"
#include "platform/linux/async/PendingValue.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>
#include <vector>

class PipeReader;
class WaylandDataControl;

// One read of everything a selection offers: every MIME type through a pipe of its own, all at
// once, without blocking. Bounded in time (an owner that hangs yields what it sent in time) and in
// size (past the limit nothing more is kept). A type whose transfer did not complete is left out:
// half an image is worse than none.
class WaylandSelectionRead final : public QObject {
    Q_OBJECT

public:
    WaylandSelectionRead(WaylandDataControl& dataControl, PasteboardSelection selection,
                         std::chrono::milliseconds timeout, qsizetype maxBytes);
    ~WaylandSelectionRead() override;
    WaylandSelectionRead(const WaylandSelectionRead&) = delete;
    WaylandSelectionRead& operator=(const WaylandSelectionRead&) = delete;

    // Set once every transfer ended or the time ran out. Delete the object with deleteLater().
    PendingValue<PasteboardSnapshot> result() const { return m_result; }

private:
    void check();
    void finish();

    struct Transfer {
        QString mimeType;
        std::unique_ptr<PipeReader> reader;
    };
    std::vector<Transfer> m_transfers;
    qsizetype m_maxBytes;
    QTimer m_timeout;
    PendingValue<PasteboardSnapshot> m_result;
    bool m_done = false;
};
