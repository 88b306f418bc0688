#include "platform/linux/wayland/VirtualKeyboardKeySynthesizer.h"

#include "core/common/ErrorCode.h"
#include "core/common/ErrorDomain.h"
#include "core/common/PlatformError.h"
#include "platform/linux/input/LinuxKeyTable.h"
#include "platform/linux/input/UniqueFd.h"
#include "platform/linux/input/XkbKeymapLookup.h"
#include "platform/linux/wayland/WaylandConnection.h"
#include "platform/linux/wayland/WaylandSeatKeymap.h"
#include "platform/linux/wayland/protocols/virtual-keyboard-unstable-v1-client-protocol.h"

#include <chrono>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace {

constexpr int evdevOffset = 8;
// The compositor sends the seat's keymap right after the keyboard is asked for.
constexpr std::chrono::milliseconds keymapWait{500};

PTTError synthesisError(const QString& description) {
    return makeError(PlatformError::cannotPostKeys, QStringLiteral("Cannot type keys: %1").arg(description));
}

quint32 millisecondsNow() {
    using namespace std::chrono;
    return static_cast<quint32>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// The compositor maps the keymap from a file of ours.
UniqueFd keymapFile(const QByteArray& text) {
    UniqueFd fd(::memfd_create("orlavo-keymap", MFD_CLOEXEC));
    qsizetype written = 0;
    while (fd.isValid() && written < text.size()) {
        const ssize_t count =
            ::write(fd.get(), text.constData() + written, static_cast<size_t>(text.size() - written));
        if (count <= 0) {
            return UniqueFd();
        }
        written += count;
    }
    return fd;
}

} // namespace

std::unique_ptr<VirtualKeyboardKeySynthesizer>
VirtualKeyboardKeySynthesizer::create(WaylandConnection& connection) {
    if (!connection.seat()) {
        return nullptr;
    }
    auto* manager =
        connection.bind<zwp_virtual_keyboard_manager_v1>(zwp_virtual_keyboard_manager_v1_interface, 1);
    if (!manager) {
        return nullptr;
    }
    std::unique_ptr<VirtualKeyboardKeySynthesizer> synthesizer(
        new VirtualKeyboardKeySynthesizer(connection, manager));
    if (connection.seatCapabilities() & WL_SEAT_CAPABILITY_KEYBOARD) {
        WaylandSeatKeymap& keymap = *synthesizer->m_seatKeymap;
        connection.waitUntil([&keymap] { return keymap.generation() > 0; }, keymapWait);
    }
    if (!synthesizer->refreshKeymap()) {
        std::unique_ptr<XkbKeymapLookup> defaults = XkbKeymapLookup::fromDefaults();
        if (defaults) {
            const QByteArray text = defaults->text();
            synthesizer->upload(std::move(defaults), text);
        }
    }
    return synthesizer;
}

VirtualKeyboardKeySynthesizer::VirtualKeyboardKeySynthesizer(WaylandConnection& connection,
                                                             zwp_virtual_keyboard_manager_v1* manager)
    : m_connection(connection)
    , m_manager(manager)
    , m_seatKeymap(std::make_unique<WaylandSeatKeymap>(connection)) {
    m_keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(m_manager, connection.seat());
    m_connection.flush();
}

VirtualKeyboardKeySynthesizer::~VirtualKeyboardKeySynthesizer() {
    zwp_virtual_keyboard_v1_destroy(m_keyboard);
    // The manager has no destructor request of its own.
    wl_proxy_destroy(reinterpret_cast<wl_proxy*>(m_manager));
    m_connection.flush();
}

bool VirtualKeyboardKeySynthesizer::isAvailable() const {
    return m_connection.isConnected() && m_lookup != nullptr;
}

bool VirtualKeyboardKeySynthesizer::refreshKeymap() {
    if (m_seatKeymap->generation() == m_seenGeneration) {
        return m_lookup != nullptr;
    }
    m_seenGeneration = m_seatKeymap->generation();
    // Our own keymap comes back once our keyboard is the seat's active one: nothing to do then.
    if (m_seatKeymap->text() == m_uploadedText) {
        return true;
    }
    std::unique_ptr<XkbKeymapLookup> lookup = XkbKeymapLookup::fromText(m_seatKeymap->text());
    if (!lookup) {
        return m_lookup != nullptr;
    }
    return upload(std::move(lookup), m_seatKeymap->text());
}

bool VirtualKeyboardKeySynthesizer::upload(std::unique_ptr<XkbKeymapLookup> lookup, const QByteArray& text) {
    const UniqueFd fd = keymapFile(text);
    if (!fd.isValid()) {
        return false;
    }
    zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd.get(),
                                   static_cast<quint32>(text.size()));
    m_connection.flush();
    m_lookup = std::move(lookup);
    m_uploadedText = text;
    return true;
}

Result<void> VirtualKeyboardKeySynthesizer::tapKey(quint16 keyCode, quint64 flags) {
    if (!m_connection.isConnected()) {
        return synthesisError(m_connection.errorString());
    }
    if (!refreshKeymap()) {
        return synthesisError(QStringLiteral("no keyboard layout is known"));
    }
    const std::optional<int> evdevCode = LinuxKeyTable::evdevCode(keyCode);
    if (!evdevCode) {
        return synthesisError(QStringLiteral("key code %1 has no key").arg(keyCode));
    }
    // By symbol where the layout has it, else by position.
    XkbKeymapLookup::Key key{static_cast<quint32>(*evdevCode + evdevOffset), 0, 0};
    if (const quint32 keysym = XkbKeymapLookup::usKeysym(*evdevCode)) {
        key = m_lookup->find(keysym).value_or(key);
    }
    const quint32 modifiers = m_lookup->modifierMask(flags) | key.modifiers;
    const quint32 evdevKey = key.keycode - evdevOffset;
    const quint32 time = millisecondsNow();
    const bool changesState = modifiers != 0 || key.group != 0;
    if (changesState) {
        zwp_virtual_keyboard_v1_modifiers(m_keyboard, modifiers, 0, 0, key.group);
    }
    zwp_virtual_keyboard_v1_key(m_keyboard, time, evdevKey, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_key(m_keyboard, time, evdevKey, WL_KEYBOARD_KEY_STATE_RELEASED);
    if (changesState) {
        zwp_virtual_keyboard_v1_modifiers(m_keyboard, 0, 0, 0, 0);
    }
    m_connection.flush();
    if (!m_connection.isConnected()) {
        return synthesisError(m_connection.errorString());
    }
    return {};
}
