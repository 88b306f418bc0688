#include "platform/linux/x11/X11ClipboardReader.h"

#include "platform/linux/x11/X11Connection.h"
#include "platform/linux/x11/X11ConnectionProvider.h"
#include "platform/linux/x11/X11Properties.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <cstring>

namespace {

constexpr const char* transferProperty = "_ORLAVO_CLIPBOARD";
const QString utf8Text = QStringLiteral("text/plain;charset=utf-8");

QString atomName(X11Connection& connection, unsigned long atom) {
    X11ErrorTrap trap(connection);
    char* name = XGetAtomName(connection.display(), atom);
    if (!name || trap.errorCode() != 0) {
        return {};
    }
    const QString text = QString::fromLatin1(name);
    XFree(name);
    return text;
}

} // namespace

X11ClipboardReader::X11ClipboardReader(std::shared_ptr<X11ConnectionProvider> connections,
                                       double timeoutSeconds)
    : m_connections(std::move(connections)) {
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(static_cast<int>(timeoutSeconds * 1000));
    QObject::connect(&m_timeout, &QTimer::timeout, &m_timeout, [this] { finish(); });
    m_queuePoll.setInterval(10);
    QObject::connect(&m_queuePoll, &QTimer::timeout, &m_queuePoll, [this] {
        if (X11Connection* connection = m_connections->current()) {
            connection->dispatchPending();
        }
    });
}

X11ClipboardReader::~X11ClipboardReader() {
    X11Connection* connection = m_connections->current();
    if (connection && m_requestor != 0 && m_requestorGeneration == m_connections->generation()) {
        connection->removeEventHandler(m_eventHandlerId);
        if (!connection->isLost()) {
            XDestroyWindow(connection->display(), m_requestor);
            connection->flush();
        }
    }
    finish();
}

QList<QPair<QString, QString>> X11ClipboardReader::formatsToKeep(const QStringList& offered) {
    QList<QPair<QString, QString>> kept;
    const auto keepFirst = [&](std::initializer_list<const char*> candidates, const QString& as) {
        for (const char* candidate : candidates) {
            if (offered.contains(QLatin1String(candidate))) {
                kept.append({QLatin1String(candidate), as.isEmpty() ? QLatin1String(candidate) : as});
                return;
            }
        }
    };
    // One text, under one name; the restore offers the usual aliases again.
    keepFirst({"text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "STRING"}, utf8Text);
    keepFirst({"text/html"}, {});
    keepFirst({"text/uri-list"}, {});
    keepFirst({"x-special/gnome-copied-files"}, {});
    if (offered.contains(QLatin1String("image/png"))) {
        kept.append({QStringLiteral("image/png"), QStringLiteral("image/png")});
    } else {
        for (const QString& format : offered) {
            if (format.startsWith(QLatin1String("image/"))) {
                kept.append({format, format});
                break;
            }
        }
    }
    return kept;
}

QCoro::Task<PasteboardSnapshot> X11ClipboardReader::read(PasteboardSelection selection) {
    while (m_pending) {
        const auto shared = *m_pending;
        const bool same = m_pendingSelection == selection;
        PasteboardSnapshot earlier = co_await shared;
        if (same) {
            co_return earlier;
        }
    }
    X11Connection* connection = m_connections->get();
    if (!connection) {
        co_return PasteboardSnapshot{};
    }
    const unsigned long atom =
        selection == PasteboardSelection::primary ? XA_PRIMARY : connection->atom("CLIPBOARD");
    if (XGetSelectionOwner(connection->display(), atom) == None || !prepareRequestor(*connection)) {
        co_return PasteboardSnapshot{};
    }
    const PendingValue<PasteboardSnapshot> pending;
    m_pending = pending;
    m_pendingSelection = selection;
    m_selection = atom;
    m_snapshot = {};
    m_wanted.clear();
    m_totalBytes = 0;
    request(QStringLiteral("TARGETS"));
    m_timeout.start();
    m_queuePoll.start();
    co_return co_await pending;
}

bool X11ClipboardReader::prepareRequestor(X11Connection& connection) {
    if (m_requestor != 0 && m_requestorGeneration == m_connections->generation()) {
        return true;
    }
    X11ErrorTrap trap(connection);
    Display* display = connection.display();
    XSetWindowAttributes attributes{};
    // Property changes carry the pieces of a large answer.
    attributes.event_mask = PropertyChangeMask;
    const Window window = XCreateWindow(display, connection.rootWindow(), -1, -1, 1, 1, 0, CopyFromParent,
                                        InputOnly, CopyFromParent, CWEventMask, &attributes);
    if (trap.failed()) {
        return false;
    }
    m_requestor = window;
    m_requestorGeneration = m_connections->generation();
    m_eventHandlerId = connection.addEventHandler([this](XEvent& event) { handleEvent(event); });
    return true;
}

void X11ClipboardReader::request(const QString& target) {
    X11Connection* connection = m_connections->get();
    if (!connection) {
        finish();
        return;
    }
    m_target = connection->atom(target.toLatin1().constData());
    m_incremental = false;
    m_incoming.clear();
    XConvertSelection(connection->display(), m_selection, m_target, connection->atom(transferProperty),
                      m_requestor, CurrentTime);
    connection->flush();
}

void X11ClipboardReader::handleEvent(XEvent& event) {
    if (!m_pending) {
        return;
    }
    X11Connection* connection = m_connections->get();
    if (!connection) {
        return;
    }
    const unsigned long property = connection->atom(transferProperty);
    if (event.type == SelectionNotify && event.xselection.requestor == m_requestor &&
        event.xselection.selection == m_selection && event.xselection.target == m_target) {
        if (event.xselection.property == None) {
            received({}, true); // refused: this format is skipped
            return;
        }
        const auto value = X11Properties::read(*connection, m_requestor, event.xselection.property, true);
        if (!value) {
            received({}, true);
        } else if (value->incremental) {
            // Deleting the INCR property (done by the read) asks the owner for the first piece.
            m_incremental = true;
        } else {
            received(value->data, true);
        }
        return;
    }
    if (event.type == PropertyNotify && m_incremental && event.xproperty.window == m_requestor &&
        event.xproperty.atom == property && event.xproperty.state == PropertyNewValue) {
        const auto piece = X11Properties::read(*connection, m_requestor, property, true);
        // An empty piece ends the transfer.
        received(piece ? piece->data : QByteArray(), !piece || piece->data.isEmpty());
    }
}

void X11ClipboardReader::received(const QByteArray& data, bool complete) {
    m_totalBytes += data.size();
    if (m_totalBytes > maxBytes) {
        finish();
        return;
    }
    m_incoming.append(data);
    if (!complete) {
        return;
    }
    X11Connection* connection = m_connections->get();
    if (connection && m_target == connection->atom("TARGETS")) {
        QStringList offered;
        for (qsizetype offset = 0; offset + qsizetype(sizeof(long)) <= m_incoming.size();
             offset += sizeof(long)) {
            unsigned long atom = 0;
            std::memcpy(&atom, m_incoming.constData() + offset, sizeof atom);
            offered.append(atomName(*connection, atom));
        }
        m_wanted = formatsToKeep(offered);
    } else if (!m_wanted.isEmpty()) {
        const QString keptAs = m_wanted.takeFirst().second;
        if (!m_incoming.isEmpty()) {
            m_snapshot.formats.append({keptAs, m_incoming});
        }
    }
    m_incoming.clear();
    nextFormat();
}

void X11ClipboardReader::nextFormat() {
    if (m_wanted.isEmpty()) {
        finish();
        return;
    }
    request(m_wanted.constFirst().first);
}

void X11ClipboardReader::finish() {
    m_timeout.stop();
    m_queuePoll.stop();
    m_incremental = false;
    if (!m_pending) {
        return;
    }
    auto pending = std::move(*m_pending);
    m_pending.reset();
    // What arrived in time is kept; a half-received format is not.
    pending.set(std::exchange(m_snapshot, {}));
}
