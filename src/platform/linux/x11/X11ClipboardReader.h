#pragma once

#include "core/ports/Pasteboard.h"
#include "platform/linux/async/PendingValue.h"

#include <QCoroTask>
#include <QStringList>
#include <QTimer>

#include <memory>

class X11Connection;
class X11ConnectionProvider;
union _XEvent;

// Reads what a clipboard owner offers, on our own connection and without blocking: the owner's
// TARGETS first, then the formats a clipboard manager keeps (UTF-8 text, HTML, a file list, one
// image, PNG preferred), one after another, large ones in pieces (INCR). A time limit bounds the
// whole read: an owner that hangs, or sends a dozen encodings slowly, costs at most that long,
// and what arrived in time is kept. Main thread only.
class X11ClipboardReader final {
public:
    // Long enough for an ordinary owner on a busy machine (a snapshot cut short is a clipboard the
    // user loses), short enough that a hung owner only delays the paste.
    static constexpr double defaultTimeoutSeconds = 1.0;
    // Larger contents are not kept (they could not be put back reasonably anyway).
    static constexpr qsizetype maxBytes = qsizetype(64) * 1024 * 1024;

    explicit X11ClipboardReader(std::shared_ptr<X11ConnectionProvider> connections,
                                double timeoutSeconds = defaultTimeoutSeconds);
    ~X11ClipboardReader();
    X11ClipboardReader(const X11ClipboardReader&) = delete;
    X11ClipboardReader& operator=(const X11ClipboardReader&) = delete;

    // The formats to keep out of those an owner offers, each with the MIME type it is kept under.
    static QList<QPair<QString, QString>> formatsToKeep(const QStringList& offered);

    // Concurrent reads of the same selection share one request; of different ones, the later
    // waits for the earlier.
    QCoro::Task<PasteboardSnapshot> read(PasteboardSelection selection);

private:
    bool prepareRequestor(X11Connection& connection);
    void request(const QString& target);
    void handleEvent(_XEvent& event);
    void received(const QByteArray& data, bool complete);
    void nextFormat();
    void finish();

    std::shared_ptr<X11ConnectionProvider> m_connections;
    QTimer m_timeout;
    // Looks at Xlib's queue while a read is pending: a round trip made by anyone on the shared
    // connection reads the owner's answer into that queue without waking the socket notifier, and
    // a loop that never blocks (a nested wait) would leave it there until the time limit.
    QTimer m_queuePoll;
    unsigned long m_requestor = 0;
    int m_eventHandlerId = 0;
    quint64 m_requestorGeneration = 0;

    // The read in progress.
    unsigned long m_selection = 0;
    unsigned long m_target = 0;
    bool m_incremental = false;
    QByteArray m_incoming;
    qsizetype m_totalBytes = 0;
    QList<QPair<QString, QString>> m_wanted; // X target, kept as MIME type
    PasteboardSnapshot m_snapshot;
    std::optional<PendingValue<PasteboardSnapshot>> m_pending;
    PasteboardSelection m_pendingSelection = PasteboardSelection::clipboard;
};
