#pragma once

#include "platform/linux/x11/X11Connection.h"

class X11ConnectionProvider;

#include <QByteArray>
#include <QString>

#include <optional>

// Window property reads on one of our connections. Every read is trapped: a window that vanished
// reads as absent.
namespace X11Properties {

using XID = X11Connection::XID;

struct Property {
    XID type = 0;
    int format = 0; // 8, 16 or 32
    // The items as the server sent them; for format 32 each item is a C long, as Xlib delivers it.
    QByteArray data;
    bool incremental = false; // the owner sends it in pieces (INCR)
};

// Reads the whole property; with `remove` it is deleted after reading. Absent when the window or
// the property does not exist.
std::optional<Property> read(X11Connection& connection, XID window, XID property, bool remove = false);

// A WINDOW-typed property's first window.
std::optional<XID> window(X11Connection& connection, XID window, const char* property);

// A text property: UTF8_STRING, or STRING (Latin-1).
std::optional<QString> text(X11Connection& connection, XID window, const char* property);

// The EWMH active window (the client window the window manager gave the focus to); absent when
// none is set or no EWMH window manager runs.
std::optional<XID> activeWindow(X11Connection& connection);

// The process id (_NET_WM_PID) of the EWMH active window; absent when there is none or it does not
// say.
std::optional<qint64> activeProcess(X11ConnectionProvider& connections);

// Decodes text as sent in a property of that type (UTF8_STRING or STRING); absent for other types.
std::optional<QString> decodeText(X11Connection& connection, const Property& property);

} // namespace X11Properties
