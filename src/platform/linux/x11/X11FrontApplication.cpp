#include "platform/linux/x11/X11FrontApplication.h"

#include "platform/linux/desktop/DesktopEntryIndex.h"
#include "platform/linux/x11/X11Connection.h"
#include "platform/linux/x11/X11ConnectionProvider.h"
#include "platform/linux/x11/X11Properties.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

struct WindowClass {
    QString instance;
    QString className;
};

// WM_CLASS is two NUL-terminated Latin-1 strings, instance then class.
std::optional<WindowClass> windowClass(X11Connection& connection, X11Connection::XID window) {
    const auto property = X11Properties::read(connection, window, XA_WM_CLASS);
    if (!property || property->format != 8 || property->data.isEmpty()) {
        return std::nullopt;
    }
    const QList<QByteArray> parts = property->data.split('\0');
    WindowClass result;
    result.instance = QString::fromLatin1(parts.value(0));
    result.className = QString::fromLatin1(parts.value(1));
    return result;
}

} // namespace

X11FrontApplication::X11FrontApplication(std::shared_ptr<X11ConnectionProvider> connections,
                                         QStringList applicationDirectories)
    : m_connections(std::move(connections))
    , m_applicationDirectories(std::move(applicationDirectories)) {}

X11FrontApplication::~X11FrontApplication() = default;

std::optional<FrontApplicationInfo> X11FrontApplication::current() const {
    X11Connection* connection = m_connections->get();
    if (!connection) {
        return std::nullopt;
    }
    const auto active = X11Properties::activeWindow(*connection);
    if (!active) {
        return std::nullopt;
    }
    // The window may close while we ask about it; every read below then fails, and the whole
    // answer is absent rather than half made of another window's leftovers.
    X11ErrorTrap trap(*connection);
    std::optional<WindowClass> names = windowClass(*connection, *active);
    if (!names) {
        // Dialogs and other secondary windows may carry their class on the group leader only.
        if (const auto leader = X11Properties::window(*connection, *active, "WM_CLIENT_LEADER")) {
            names = windowClass(*connection, *leader);
        }
    }
    std::optional<QString> title = X11Properties::text(*connection, *active, "_NET_WM_NAME");
    if (!title) {
        title = X11Properties::text(*connection, *active, "WM_NAME");
    }
    if (trap.errorCode() != 0 || connection->isLost()) {
        return std::nullopt;
    }

    FrontApplicationInfo info;
    if (names) {
        info.windowClass = names->className;
        info.instanceName = names->instance;
    }
    const DesktopEntry* entry = index().find(info.windowClass, info.instanceName);
    if (entry) {
        info.displayName = entry->name;
    } else if (!info.windowClass.isEmpty()) {
        info.displayName = info.windowClass;
    } else {
        info.displayName = title.value_or(QString());
    }
    info.isTerminalEmulator = entry && entry->isTerminalEmulator();
    return info;
}

const DesktopEntryIndex& X11FrontApplication::index() const {
    if (!m_index) {
        m_index = std::make_unique<DesktopEntryIndex>(m_applicationDirectories);
    }
    return *m_index;
}
