#include "platform/linux/wayland/WaylandConnection.h"

#include "core/common/ErrorCode.h"
#include "core/common/ErrorDomain.h"
#include "core/common/PlatformError.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <wayland-client.h>

namespace {

// wl_seat 5 adds the release requests; nothing we use needs more.
constexpr quint32 seatVersion = 5;

PTTError connectionError(const QString& description) {
    return makeError(PlatformError::compositorUnavailable,
                     QStringLiteral("Cannot use the Wayland compositor: %1").arg(description));
}

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

WaylandConnection::WaylandConnection(wl_display* display)
    : m_display(display) {}

WaylandConnection::~WaylandConnection() {
    m_readNotifier.reset();
    m_writeNotifier.reset();
    if (m_seat) {
        wl_seat_destroy(m_seat);
    }
    if (m_registry) {
        wl_registry_destroy(m_registry);
    }
    wl_display_disconnect(m_display);
}

Result<std::unique_ptr<WaylandConnection>> WaylandConnection::connect(const QString& socket,
                                                                      std::chrono::milliseconds timeout) {
    const QByteArray name = socket.toLocal8Bit();
    wl_display* display = wl_display_connect(socket.isEmpty() ? nullptr : name.constData());
    if (!display) {
        return connectionError(QStringLiteral("no compositor answers at \"%1\" (%2)")
                                   .arg(socket.isEmpty() ? qEnvironmentVariable("WAYLAND_DISPLAY") : socket,
                                        systemError(errno)));
    }
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display));
    static const wl_registry_listener registryListener = {&WaylandConnection::onGlobal,
                                                          &WaylandConnection::onGlobalRemove};
    connection->m_registry = wl_display_get_registry(display);
    wl_registry_add_listener(connection->m_registry, &registryListener, connection.get());
    // The first answer lists the globals (the seat is bound as it is seen), the second the seat's
    // capabilities.
    if (!connection->roundtrip(timeout) || !connection->roundtrip(timeout)) {
        return connectionError(connection->m_error.isEmpty()
                                   ? QStringLiteral("it did not answer within %1 ms").arg(timeout.count())
                                   : connection->m_error);
    }

    // Without an event loop (a command that only asks what the compositor offers) nobody reads.
    if (!QCoreApplication::instance()) {
        return connection;
    }
    const int fd = wl_display_get_fd(display);
    WaylandConnection* self = connection.get();
    connection->m_readNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(connection->m_readNotifier.get(), &QSocketNotifier::activated, self,
                     [self] { self->readEvents(); });
    connection->m_writeNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    connection->m_writeNotifier->setEnabled(false);
    QObject::connect(connection->m_writeNotifier.get(), &QSocketNotifier::activated, self,
                     [self] { self->flush(); });
    // Events read by someone else's wait (or requests queued by a handler) must not sit in the
    // queue until the next byte arrives.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, self, [self] {
            self->dispatchPending();
            self->flush();
        });
    }
    return connection;
}

std::optional<WaylandConnection::Global> WaylandConnection::global(const wl_interface& interface) const {
    const auto found = std::find_if(m_globals.begin(), m_globals.end(), [&interface](const Global& global) {
        return global.interface == interface.name;
    });
    if (found == m_globals.end()) {
        return std::nullopt;
    }
    return *found;
}

void* WaylandConnection::bind(const wl_interface& interface, quint32 maxVersion, quint32 minVersion) {
    const std::optional<Global> offered = global(interface);
    if (!offered || offered->version < minVersion || !isConnected()) {
        return nullptr;
    }
    const quint32 version = std::min({offered->version, maxVersion, static_cast<quint32>(interface.version)});
    return wl_registry_bind(m_registry, offered->name, &interface, version);
}

void WaylandConnection::flush() {
    if (!isConnected()) {
        return;
    }
    if (wl_display_flush(m_display) < 0) {
        if (errno == EAGAIN) {
            if (m_writeNotifier) {
                m_writeNotifier->setEnabled(true);
            }
            return;
        }
        fail(QStringLiteral("the connection broke (%1)").arg(systemError(errno)));
        return;
    }
    if (m_writeNotifier) {
        m_writeNotifier->setEnabled(false);
    }
}

bool WaylandConnection::roundtrip(std::chrono::milliseconds timeout) {
    static const wl_callback_listener doneListener = {[](void* data, wl_callback* callback, quint32) {
        *static_cast<bool*>(data) = true;
        wl_callback_destroy(callback);
    }};
    if (!isConnected()) {
        return false;
    }
    bool answered = false;
    wl_callback* callback = wl_display_sync(m_display);
    wl_callback_add_listener(callback, &doneListener, &answered);
    const bool done = waitUntil([&answered] { return answered; }, timeout);
    if (!done) {
        // A late answer to a destroyed proxy is dropped, so it cannot write to `answered`.
        wl_callback_destroy(callback);
    }
    return done;
}

bool WaylandConnection::waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + timeout;
    while (isConnected()) {
        while (wl_display_prepare_read(m_display) != 0) {
            if (wl_display_dispatch_pending(m_display) < 0) {
                checkError();
                return false;
            }
        }
        if (done()) {
            wl_display_cancel_read(m_display);
            return true;
        }
        if (wl_display_flush(m_display) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(m_display);
            fail(QStringLiteral("the connection broke (%1)").arg(systemError(errno)));
            return false;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            wl_display_cancel_read(m_display);
            return false;
        }
        pollfd descriptor{wl_display_get_fd(m_display), POLLIN, 0};
        const int ready = ::poll(&descriptor, 1, static_cast<int>(left.count()));
        if (ready <= 0) {
            wl_display_cancel_read(m_display);
            if (ready < 0 && errno != EINTR) {
                fail(QStringLiteral("cannot wait for the compositor (%1)").arg(systemError(errno)));
                return false;
            }
            continue;
        }
        if (wl_display_read_events(m_display) < 0) {
            checkError();
            return false;
        }
        if (wl_display_dispatch_pending(m_display) < 0) {
            checkError();
            return false;
        }
    }
    return false;
}

void WaylandConnection::readEvents() {
    if (!isConnected()) {
        return;
    }
    while (wl_display_prepare_read(m_display) != 0) {
        if (wl_display_dispatch_pending(m_display) < 0) {
            checkError();
            return;
        }
    }
    // Does not block: the socket is readable, and read_events takes only what is there.
    if (wl_display_read_events(m_display) < 0) {
        checkError();
        return;
    }
    dispatchPending();
}

void WaylandConnection::dispatchPending() {
    if (isConnected() && wl_display_dispatch_pending(m_display) < 0) {
        checkError();
    }
}

bool WaylandConnection::checkError() {
    const int error = wl_display_get_error(m_display);
    if (error == 0) {
        return false;
    }
    quint32 interfaceId = 0;
    const wl_interface* interface = nullptr;
    const quint32 code = wl_display_get_protocol_error(m_display, &interface, &interfaceId);
    if (error == EPROTO && interface) {
        fail(QStringLiteral("protocol error %1 on %2").arg(code).arg(QString::fromLatin1(interface->name)));
    } else {
        fail(QStringLiteral("the connection broke (%1)").arg(systemError(error)));
    }
    return true;
}

void WaylandConnection::fail(const QString& reason) {
    if (!m_error.isEmpty()) {
        return;
    }
    m_error = reason;
    if (m_readNotifier) {
        m_readNotifier->setEnabled(false);
        m_writeNotifier->setEnabled(false);
    }
    emit disconnected(reason);
}

void WaylandConnection::onGlobal(void* data, wl_registry* registry, quint32 name, const char* interface,
                                 quint32 version) {
    auto* self = static_cast<WaylandConnection*>(data);
    self->m_globals.push_back(Global{name, QByteArray(interface), version});
    if (!self->m_seat && std::strcmp(interface, wl_seat_interface.name) == 0) {
        static const wl_seat_listener seatListener = {&WaylandConnection::onCapabilities,
                                                      &WaylandConnection::onSeatName};
        self->m_seat = static_cast<wl_seat*>(
            wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, seatVersion)));
        wl_seat_add_listener(self->m_seat, &seatListener, self);
    }
}

void WaylandConnection::onGlobalRemove(void* data, wl_registry*, quint32 name) {
    auto* self = static_cast<WaylandConnection*>(data);
    std::erase_if(self->m_globals, [name](const Global& global) { return global.name == name; });
    emit self->globalRemoved(name);
}

void WaylandConnection::onCapabilities(void* data, wl_seat*, quint32 capabilities) {
    auto* self = static_cast<WaylandConnection*>(data);
    self->m_seatCapabilities = capabilities;
    emit self->seatCapabilitiesChanged(capabilities);
}

void WaylandConnection::onSeatName(void*, wl_seat*, const char*) {}
