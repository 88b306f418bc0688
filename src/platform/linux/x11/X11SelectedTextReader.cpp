#include "X11SelectedTextReader.h"

#include "X11Connection.h"
#include "X11ConnectionProvider.h"
#include "X11Properties.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

constexpr const char* transferProperty = "_ORLAVO_SELECTION";

} // namespace

X11SelectedTextReader::X11SelectedTextReader(std::shared_ptr<X11ConnectionProvider> connections,
                                             double timeoutSeconds)
    : m_connections(std::move(connections)) {
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(static_cast<int>(timeoutSeconds * 1000));
    QObject::connect(&m_timeout, &QTimer::timeout, &m_timeout, [this] { finish(std::nullopt); });
}

X11SelectedTextReader::~X11SelectedTextReader() {
    X11Connection* connection = m_connections->current();
    if (connection && m_requestor != 0 && m_requestorGeneration == m_connections->generation()) {
        connection->removeEventHandler(m_eventHandlerId);
        if (!connection->isLost()) {
            XDestroyWindow(connection->display(), m_requestor);
            connection->flush();
        }
    }
    // Nobody is left to answer a waiting caller.
    finish(std::nullopt);
}

QCoro::Task<std::optional<QString>> X11SelectedTextReader::selectedText() {
    if (m_pending) {
        const auto shared = *m_pending;
        co_return co_await shared;
    }
    X11Connection* connection = m_connections->get();
    if (!connection) {
        co_return std::nullopt;
    }
    Display* display = connection->display();
    const Window owner = XGetSelectionOwner(display, XA_PRIMARY);
    const auto active = X11Properties::activeWindow(*connection);
    if (owner == None || !active || connection->clientOf(owner) != connection->clientOf(*active)) {
        co_return std::nullopt;
    }
    if (!prepareRequestor(*connection)) {
        co_return std::nullopt;
    }
    const PendingValue<std::optional<QString>> pending;
    m_pending = pending;
    requestConversion(*connection, connection->atom("UTF8_STRING"));
    m_timeout.start();
    co_return co_await pending;
}

bool X11SelectedTextReader::prepareRequestor(X11Connection& connection) {
    if (m_requestor != 0 && m_requestorGeneration == m_connections->generation()) {
        return true;
    }
    X11ErrorTrap trap(connection);
    Display* display = connection.display();
    // Never mapped: it only receives the converted selection as a property.
    const Window window = XCreateWindow(display, connection.rootWindow(), -1, -1, 1, 1, 0, CopyFromParent,
                                        InputOnly, CopyFromParent, 0, nullptr);
    if (trap.failed()) {
        return false;
    }
    m_requestor = window;
    m_requestorGeneration = m_connections->generation();
    m_eventHandlerId = connection.addEventHandler([this](XEvent& event) { handleEvent(event); });
    return true;
}

void X11SelectedTextReader::requestConversion(X11Connection& connection, unsigned long target) {
    m_target = target;
    XConvertSelection(connection.display(), XA_PRIMARY, target, connection.atom(transferProperty),
                      m_requestor, CurrentTime);
    connection.flush();
}

void X11SelectedTextReader::handleEvent(XEvent& event) {
    if (event.type != SelectionNotify || event.xselection.requestor != m_requestor ||
        event.xselection.selection != XA_PRIMARY) {
        return;
    }
    X11Connection* connection = m_connections->get();
    if (!connection) {
        return;
    }
    if (event.xselection.property == None) {
        // Older owners know only Latin-1 text.
        if (m_pending && m_target == connection->atom("UTF8_STRING")) {
            requestConversion(*connection, XA_STRING);
        } else {
            finish(std::nullopt);
        }
        return;
    }
    // Read (and delete) even when the answer came too late, so the property does not linger.
    const auto property = X11Properties::read(*connection, m_requestor, event.xselection.property, true);
    if (!m_pending) {
        return;
    }
    // A selection large enough to be sent in pieces is not a selection to dictate a command on.
    if (!property || property->incremental) {
        finish(std::nullopt);
        return;
    }
    finish(X11Properties::decodeText(*connection, *property));
}

void X11SelectedTextReader::finish(std::optional<QString> text) {
    m_timeout.stop();
    if (!m_pending) {
        return;
    }
    // The waiters may ask again as soon as they resume.
    auto pending = std::move(*m_pending);
    m_pending.reset();
    pending.set(std::move(text));
}
