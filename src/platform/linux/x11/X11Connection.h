#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

struct _XDisplay;
union _XEvent;
class QSocketNotifier;

// A connection of our own to the X server, read from the Qt event loop of the main thread.
//
// Xlib ends the process when a connection breaks and reports protocol errors (a window that
// vanished while we asked about it) through one process-wide handler that ends it too. Connections
// opened here never end the process: a broken one turns isLost() and reports it once, and errors
// on them are caught by X11ErrorTrap or ignored. Other connections (Qt's) keep their handlers.
class X11Connection final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(X11Connection)

public:
    using XID = unsigned long;
    using EventHandler = std::function<void(_XEvent& event)>;

    // Opens the display named by $DISPLAY, or nullptr with the reason in `whyNot`.
    static std::unique_ptr<X11Connection> open(QString* whyNot = nullptr);
    ~X11Connection() override;

    _XDisplay* display() const { return m_display; }
    XID rootWindow() const;
    bool isLost() const;

    // Interned once per connection.
    XID atom(const char* name);

    // The client part of a resource id: all windows made by one connection share it.
    XID clientOf(XID resource) const { return resource & ~m_resourceIdMask; }
    XID resourceIdBase() const { return m_resourceIdBase; }

    // Every event read from the server goes to every handler, in the order they were added.
    int addEventHandler(EventHandler handler);
    void removeEventHandler(int id);

    // Called once, on a later turn of the event loop, when the connection breaks.
    void setOnLost(std::function<void()> handler) { m_onLost = std::move(handler); }

    void flush();
    // Reads what the server has sent and hands it to the handlers.
    void dispatchPending();

    // Called from the Xlib handlers only.
    void markLost();

private:
    X11Connection(_XDisplay* display, XID resourceIdBase, XID resourceIdMask);

    _XDisplay* m_display;
    XID m_resourceIdBase;
    XID m_resourceIdMask;
    QSocketNotifier* m_notifier = nullptr;
    QHash<QByteArray, XID> m_atoms;
    std::vector<std::pair<int, EventHandler>> m_handlers;
    int m_nextHandlerId = 1;
    std::function<void()> m_onLost;
    bool m_lost = false;
    bool m_dispatching = false;
};

// Catches the protocol errors of one connection while it lives; main thread only. An outer trap
// also sees the errors that nested ones caught.
class X11ErrorTrap final {
public:
    explicit X11ErrorTrap(X11Connection& connection);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    // Waits until the server has answered every request so far; true when one of them failed or
    // the connection is lost.
    bool failed();

    // The first error code caught so far without waiting (0: none). Requests with replies report
    // their errors before they return, so this is enough after them.
    int errorCode() const;

private:
    X11Connection& m_connection;
    int m_savedError;
};
