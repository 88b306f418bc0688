#pragma once

#include "core/common/Result.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QSocketNotifier;
struct wl_display;
struct wl_interface;
struct wl_registry;
struct wl_seat;

// A Wayland connection of our own beside Qt's, for the protocols Qt does not speak (data control,
// virtual keyboard, foreign toplevels). Events are read and dispatched from the Qt event loop when
// the socket becomes readable, so the main thread never waits on the compositor; only connect()
// and waitUntil() wait, bounded, for start-up answers.
class WaylandConnection final : public QObject {
    Q_OBJECT

public:
    struct Global {
        quint32 name = 0;
        QByteArray interface;
        quint32 version = 0;
    };

    // Connects to `socket` (a WAYLAND_DISPLAY value; empty for the environment's), learns the
    // globals and binds the first seat, all within `timeout`.
    static Result<std::unique_ptr<WaylandConnection>> connect(const QString& socket,
                                                              std::chrono::milliseconds timeout);
    ~WaylandConnection() override;
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    wl_display* display() const { return m_display; }
    // The seat whose keyboard and selection we use; null where the compositor offers none.
    wl_seat* seat() const { return m_seat; }
    quint32 seatCapabilities() const { return m_seatCapabilities; }
    const std::vector<Global>& globals() const { return m_globals; }
    std::optional<Global> global(const wl_interface& interface) const;

    // Binds the global offering `interface` at the highest version both sides know; null where it
    // is not offered, or only below `minVersion`. The caller owns the proxy.
    void* bind(const wl_interface& interface, quint32 maxVersion, quint32 minVersion = 1);
    template <typename Proxy>
    Proxy* bind(const wl_interface& interface, quint32 maxVersion, quint32 minVersion = 1) {
        return static_cast<Proxy*>(bind(interface, maxVersion, minVersion));
    }

    // Sends the queued requests; what the socket cannot take now goes as soon as it can.
    void flush();
    // Asks the compositor for an answer after everything sent so far and waits for it, at most
    // `timeout`; start-up only, like waitUntil().
    bool roundtrip(std::chrono::milliseconds timeout);
    // Reads and dispatches events until `done` holds, at most `timeout`: for start-up answers the
    // ports cannot work without (a keymap). False on time-out or a broken connection.
    bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

    bool isConnected() const { return m_error.isEmpty(); }
    QString errorString() const { return m_error; }

signals:
    // The compositor closed the connection or saw a protocol error: every object is dead now.
    void disconnected(const QString& reason);
    void seatCapabilitiesChanged(quint32 capabilities);
    void globalRemoved(quint32 name);

private:
    explicit WaylandConnection(wl_display* display);

    void readEvents();
    void dispatchPending();
    void fail(const QString& reason);
    bool checkError();

    static void onGlobal(void* data, wl_registry* registry, quint32 name, const char* interface,
                         quint32 version);
    static void onGlobalRemove(void* data, wl_registry* registry, quint32 name);
    static void onCapabilities(void* data, wl_seat* seat, quint32 capabilities);
    static void onSeatName(void* data, wl_seat* seat, const char* name);

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    wl_seat* m_seat = nullptr;
    quint32 m_seatCapabilities = 0;
    std::vector<Global> m_globals;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
    QString m_error;
};
