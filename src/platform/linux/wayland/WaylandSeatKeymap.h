#pragma once

#include <QByteArray>
#include <QObject>

class WaylandConnection;
struct wl_keyboard;

// The keymap of the seat's active keyboard, as the compositor hands it to every client with a
// keyboard (focused or not), kept up to date as the user switches keyboards or layouts.
class WaylandSeatKeymap final : public QObject {
    Q_OBJECT

public:
    explicit WaylandSeatKeymap(WaylandConnection& connection);
    ~WaylandSeatKeymap() override;
    WaylandSeatKeymap(const WaylandSeatKeymap&) = delete;
    WaylandSeatKeymap& operator=(const WaylandSeatKeymap&) = delete;

    // XKB text, NUL-terminated; empty until the compositor sent one (a seat without a keyboard
    // has none).
    const QByteArray& text() const { return m_text; }
    // Counts the keymaps received, so a user can tell a new one from the one it knows.
    quint64 generation() const { return m_generation; }

private:
    void updateKeyboard(quint32 capabilities);

    static void onKeymap(void* data, wl_keyboard* keyboard, quint32 format, int fd, quint32 size);

    WaylandConnection& m_connection;
    wl_keyboard* m_keyboard = nullptr;
    QByteArray m_text;
    quint64 m_generation = 0;
};
