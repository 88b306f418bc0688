#include "platform/linux/x11/X11Connection.h"

#include <QAbstractEventDispatcher>
#include <QPointer>
#include <QSocketNotifier>

#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <algorithm>
#include <unordered_map>
#include <xcb/xcb.h>

namespace {

struct ConnectionState {
    X11Connection* owner = nullptr;
    int trapDepth = 0;
    int firstError = 0;
};

// Xlib's handlers are process-wide; this maps our displays to their state. Main thread only, like
// every use of these connections.
std::unordered_map<Display*, ConnectionState>& connections() {
    static std::unordered_map<Display*, ConnectionState> map;
    return map;
}

XErrorHandler previousErrorHandler = nullptr;
XIOErrorHandler previousIoErrorHandler = nullptr;

int handleError(Display* display, XErrorEvent* event) {
    const auto found = connections().find(display);
    if (found == connections().end()) {
        return previousErrorHandler ? previousErrorHandler(display, event) : 0;
    }
    ConnectionState& state = found->second;
    if (state.trapDepth > 0 && state.firstError == 0) {
        state.firstError = event->error_code;
    }
    return 0;
}

int handleIoError(Display* display) {
    const auto found = connections().find(display);
    if (found == connections().end()) {
        return previousIoErrorHandler ? previousIoErrorHandler(display) : 0;
    }
    found->second.owner->markLost();
    return 0;
}

// Called by Xlib after the I/O error handler in place of exit(); returning leaves the display
// unusable but harmless: later calls fail at once, and XCloseDisplay still frees it.
void handleIoErrorExit(Display* display, void*) {
    const auto found = connections().find(display);
    if (found != connections().end()) {
        found->second.owner->markLost();
    }
}

// Installed at every open: a toolkit initialised after us may have replaced ours.
void installHandlers() {
    const XErrorHandler error = XSetErrorHandler(handleError);
    if (error != handleError) {
        previousErrorHandler = error;
    }
    const XIOErrorHandler ioError = XSetIOErrorHandler(handleIoError);
    if (ioError != handleIoError) {
        previousIoErrorHandler = ioError;
    }
}

} // namespace

std::unique_ptr<X11Connection> X11Connection::open(QString* whyNot) {
    const QByteArray name = qgetenv("DISPLAY");
    if (name.isEmpty()) {
        if (whyNot) {
            *whyNot = QStringLiteral("no X display: DISPLAY is not set");
        }
        return nullptr;
    }
    installHandlers();
    Display* display = XOpenDisplay(name.constData());
    if (!display) {
        if (whyNot) {
            *whyNot = QStringLiteral("cannot connect to the X display %1").arg(QString::fromLocal8Bit(name));
        }
        return nullptr;
    }
    const xcb_setup_t* setup = xcb_get_setup(XGetXCBConnection(display));
    auto connection = std::unique_ptr<X11Connection>(
        new X11Connection(display, setup->resource_id_base, setup->resource_id_mask));
    XSetIOErrorExitHandler(display, handleIoErrorExit, nullptr);
    return connection;
}

X11Connection::X11Connection(Display* display, XID resourceIdBase, XID resourceIdMask)
    : m_display(display)
    , m_resourceIdBase(resourceIdBase)
    , m_resourceIdMask(resourceIdMask) {
    connections()[display].owner = this;
    m_notifier = new QSocketNotifier(ConnectionNumber(display), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11Connection::dispatchPending);
    // Xlib reads events into its own queue during any round trip; those never wake the socket
    // notifier, so look at the queue before the loop goes to sleep.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread())) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            if (m_lost) {
                return;
            }
            XFlush(m_display);
            if (XEventsQueued(m_display, QueuedAlready) > 0) {
                dispatchPending();
            }
        });
    }
}

X11Connection::~X11Connection() {
    delete m_notifier;
    m_notifier = nullptr;
    XCloseDisplay(m_display);
    connections().erase(m_display);
}

X11Connection::XID X11Connection::rootWindow() const {
    return DefaultRootWindow(m_display);
}

bool X11Connection::isLost() const {
    return m_lost;
}

X11Connection::XID X11Connection::atom(const char* name) {
    const QByteArray key(name);
    const auto found = m_atoms.constFind(key);
    if (found != m_atoms.constEnd()) {
        return found.value();
    }
    const Atom value = m_lost ? None : XInternAtom(m_display, name, False);
    if (value != None) {
        m_atoms.insert(key, value);
    }
    return value;
}

int X11Connection::addEventHandler(EventHandler handler) {
    const int id = m_nextHandlerId++;
    m_handlers.emplace_back(id, std::move(handler));
    return id;
}

void X11Connection::removeEventHandler(int id) {
    std::erase_if(m_handlers, [id](const auto& entry) { return entry.first == id; });
}

void X11Connection::flush() {
    if (!m_lost) {
        XFlush(m_display);
    }
}

void X11Connection::dispatchPending() {
    // A handler's round trip may read more events; the outer loop picks them up.
    if (m_dispatching) {
        return;
    }
    m_dispatching = true;
    // A handler may end up deleting this connection (an owner stopping from inside a callback).
    const QPointer<X11Connection> alive(this);
    // XNextEvent only when XPending says an event is queued: on a broken connection it would block
    // or touch freed state.
    while (!m_lost && XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        if (event.type == MappingNotify) {
            // Keeps XKeysymToKeycode right after a layout change.
            XRefreshKeyboardMapping(&event.xmapping);
        }
        const auto handlers = m_handlers; // a handler may remove itself
        for (const auto& [id, handler] : handlers) {
            handler(event);
            if (!alive) {
                return;
            }
            if (m_lost) {
                break;
            }
        }
    }
    m_dispatching = false;
}

void X11Connection::markLost() {
    if (m_lost) {
        return;
    }
    m_lost = true;
    if (m_notifier) {
        m_notifier->setEnabled(false);
    }
    // Xlib is inside its error path now; the owner hears of it from the event loop.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_onLost) {
                m_onLost();
            }
        },
        Qt::QueuedConnection);
}

X11ErrorTrap::X11ErrorTrap(X11Connection& connection)
    : m_connection(connection) {
    ConnectionState& state = connections()[connection.display()];
    m_savedError = state.firstError;
    state.firstError = 0;
    ++state.trapDepth;
}

X11ErrorTrap::~X11ErrorTrap() {
    ConnectionState& state = connections()[m_connection.display()];
    --state.trapDepth;
    if (m_savedError != 0) {
        state.firstError = m_savedError;
    }
}

bool X11ErrorTrap::failed() {
    if (!m_connection.isLost()) {
        XSync(m_connection.display(), False);
    }
    return m_connection.isLost() || errorCode() != 0;
}

int X11ErrorTrap::errorCode() const {
    const auto found = connections().find(m_connection.display());
    return found == connections().end() ? 0 : found->second.firstError;
}
