#pragma once

#include "platform/linux/x11/X11Connection.h"

#include <QString>

#include <memory>

// The connection shared by the parts that ask and are answered (key synthesis, the front
// application, the selection). Opened on first use, and opened again on the first use after it
// broke.
class X11ConnectionProvider final {
public:
    X11ConnectionProvider() = default;
    ~X11ConnectionProvider();
    X11ConnectionProvider(const X11ConnectionProvider&) = delete;
    X11ConnectionProvider& operator=(const X11ConnectionProvider&) = delete;

    // nullptr when the display cannot be reached; lastError() says why.
    X11Connection* get();
    // The connection open now, without opening one; may be lost.
    X11Connection* current() const { return m_connection.get(); }
    QString lastError() const { return m_lastError; }

    // Grows with every new connection: windows made on an older one are gone.
    quint64 generation() const { return m_generation; }

private:
    std::unique_ptr<X11Connection> m_connection;
    QString m_lastError;
    quint64 m_generation = 0;
};
