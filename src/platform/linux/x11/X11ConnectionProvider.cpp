#include "platform/linux/x11/X11ConnectionProvider.h"

X11ConnectionProvider::~X11ConnectionProvider() = default;

X11Connection* X11ConnectionProvider::get() {
    if (m_connection && m_connection->isLost()) {
        // A caller up the stack may still be inside the old connection's dispatch.
        m_connection.release()->deleteLater();
    }
    if (!m_connection) {
        m_connection = X11Connection::open(&m_lastError);
        if (!m_connection) {
            return nullptr;
        }
        ++m_generation;
        m_lastError.clear();
    }
    return m_connection.get();
}
