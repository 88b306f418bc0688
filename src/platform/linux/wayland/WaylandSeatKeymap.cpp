#include "platform/linux/wayland/WaylandSeatKeymap.h"

#include "platform/linux/input/UniqueFd.h"
#include "platform/linux/wayland/WaylandConnection.h"

#include <sys/mman.h>
#include <wayland-client.h>

namespace {

// Larger than any real keymap (a few hundred kilobytes at most); a bigger one is refused.
constexpr quint32 maxKeymapBytes = 16 * 1024 * 1024;

void releaseKeyboard(wl_keyboard* keyboard) {
    if (wl_keyboard_get_version(keyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION) {
        wl_keyboard_release(keyboard);
    } else {
        wl_keyboard_destroy(keyboard);
    }
}

} // namespace

WaylandSeatKeymap::WaylandSeatKeymap(WaylandConnection& connection)
    : m_connection(connection) {
    connect(&connection, &WaylandConnection::seatCapabilitiesChanged, this,
            &WaylandSeatKeymap::updateKeyboard);
    updateKeyboard(connection.seatCapabilities());
}

WaylandSeatKeymap::~WaylandSeatKeymap() {
    if (m_keyboard) {
        releaseKeyboard(m_keyboard);
        m_connection.flush();
    }
}

void WaylandSeatKeymap::updateKeyboard(quint32 capabilities) {
    const bool hasKeyboard = capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
    if (hasKeyboard && !m_keyboard && m_connection.seat()) {
        // Only the keymap matters: we never have the focus, so no keys or modifiers come.
        static const wl_keyboard_listener listener = {
            .keymap = &WaylandSeatKeymap::onKeymap,
            .enter = [](void*, wl_keyboard*, quint32, wl_surface*, wl_array*) {},
            .leave = [](void*, wl_keyboard*, quint32, wl_surface*) {},
            .key = [](void*, wl_keyboard*, quint32, quint32, quint32, quint32) {},
            .modifiers = [](void*, wl_keyboard*, quint32, quint32, quint32, quint32, quint32) {},
            .repeat_info = [](void*, wl_keyboard*, qint32, qint32) {},
        };
        m_keyboard = wl_seat_get_keyboard(m_connection.seat());
        wl_keyboard_add_listener(m_keyboard, &listener, this);
        m_connection.flush();
    } else if (!hasKeyboard && m_keyboard) {
        releaseKeyboard(m_keyboard);
        m_keyboard = nullptr;
        m_connection.flush();
    }
}

void WaylandSeatKeymap::onKeymap(void* data, wl_keyboard*, quint32 format, int fd, quint32 size) {
    auto* self = static_cast<WaylandSeatKeymap*>(data);
    const UniqueFd owned(fd);
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 || size == 0 || size > maxKeymapBytes) {
        return;
    }
    void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, owned.get(), 0);
    if (mapped == MAP_FAILED) {
        return;
    }
    self->m_text = QByteArray(static_cast<const char*>(mapped), static_cast<qsizetype>(size));
    ::munmap(mapped, size);
    ++self->m_generation;
}
