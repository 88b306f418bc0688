#include "platform/linux/x11/X11Properties.h"

#include "platform/linux/x11/X11ConnectionProvider.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <cstring>

namespace X11Properties {

std::optional<Property> read(X11Connection& connection, XID window, XID property, bool remove) {
    if (connection.isLost() || window == None || property == None) {
        return std::nullopt;
    }
    X11ErrorTrap trap(connection);
    Property result;
    long offset = 0; // in 32-bit units
    for (;;) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0;
        unsigned long bytesAfter = 0;
        unsigned char* data = nullptr;
        // Large properties arrive in parts; 64 Ki longs per request keeps each reply modest.
        const int status =
            XGetWindowProperty(connection.display(), window, property, offset, 65536, remove ? True : False,
                               AnyPropertyType, &type, &format, &items, &bytesAfter, &data);
        if (status != Success || trap.errorCode() != 0 || type == None) {
            if (data) {
                XFree(data);
            }
            return std::nullopt;
        }
        const int itemSize = format == 32 ? static_cast<int>(sizeof(long)) : format / 8;
        result.type = type;
        result.format = format;
        result.data.append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(items) * itemSize);
        XFree(data);
        if (type == connection.atom("INCR")) {
            result.incremental = true;
            return result;
        }
        if (bytesAfter == 0) {
            return result;
        }
        offset += static_cast<long>(items) * (format / 8) / 4;
    }
}

std::optional<XID> window(X11Connection& connection, XID window, const char* property) {
    const auto value = read(connection, window, connection.atom(property));
    if (!value || value->type != XA_WINDOW || value->format != 32 ||
        value->data.size() < static_cast<qsizetype>(sizeof(long))) {
        return std::nullopt;
    }
    unsigned long result = 0;
    std::memcpy(&result, value->data.constData(), sizeof result);
    if (result == None) {
        return std::nullopt;
    }
    return result;
}

std::optional<QString> decodeText(X11Connection& connection, const Property& property) {
    if (property.format != 8) {
        return std::nullopt;
    }
    if (property.type == connection.atom("UTF8_STRING")) {
        return QString::fromUtf8(property.data);
    }
    if (property.type == XA_STRING) {
        return QString::fromLatin1(property.data);
    }
    return std::nullopt;
}

std::optional<QString> text(X11Connection& connection, XID window, const char* property) {
    const auto value = read(connection, window, connection.atom(property));
    if (!value) {
        return std::nullopt;
    }
    return decodeText(connection, *value);
}

std::optional<XID> activeWindow(X11Connection& connection) {
    return window(connection, connection.rootWindow(), "_NET_ACTIVE_WINDOW");
}

std::optional<qint64> activeProcess(X11ConnectionProvider& connections) {
    X11Connection* connection = connections.get();
    if (!connection) {
        return std::nullopt;
    }
    const auto active = activeWindow(*connection);
    if (!active) {
        return std::nullopt;
    }
    const auto value = read(*connection, *active, connection->atom("_NET_WM_PID"));
    if (!value || value->type != XA_CARDINAL || value->format != 32 ||
        value->data.size() < static_cast<qsizetype>(sizeof(long))) {
        return std::nullopt;
    }
    long pid = 0;
    std::memcpy(&pid, value->data.constData(), sizeof pid);
    if (pid <= 0) {
        return std::nullopt;
    }
    return static_cast<qint64>(pid);
}

} // namespace X11Properties
