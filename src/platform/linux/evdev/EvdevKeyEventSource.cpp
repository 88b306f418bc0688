#include "platform/linux/evdev/EvdevKeyEventSource.h"

#include "platform/linux/evdev/EvdevDeviceAccess.h"
#include "platform/linux/evdev/EvdevKeyboardFinder.h"
#include "platform/linux/input/LinuxKeyTable.h"

#include <QFileSystemWatcher>
#include <QScopedValueRollback>
#include <QSocketNotifier>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <linux/input.h>
#include <unistd.h>

namespace {

constexpr qint32 released = 0;
constexpr qint32 autoRepeat = 2;

} // namespace

EvdevKeyEventSource::EvdevKeyEventSource(const Clock& clock, std::shared_ptr<const EvdevDeviceAccess> access,
                                         QString directory, QString ignoredName)
    : m_clock(clock)
    , m_access(std::move(access))
    , m_directory(std::move(directory))
    , m_ignoredName(std::move(ignoredName)) {}

EvdevKeyEventSource::~EvdevKeyEventSource() {
    closeKeyboards();
}

bool EvdevKeyEventSource::start(Handler handler) {
    closeKeyboards();
    m_handler = std::move(handler);
    if (!openKeyboards()) {
        m_handler = nullptr;
        m_watcher.reset();
        return false;
    }
    return true;
}

void EvdevKeyEventSource::stop() {
    m_handler = nullptr;
    m_watcher.reset();
    closeKeyboards();
}

bool EvdevKeyEventSource::isEnabled() const {
    return m_handler && !m_devices.empty();
}

bool EvdevKeyEventSource::enable() {
    if (!m_handler) {
        return false;
    }
    if (isEnabled()) {
        return true;
    }
    closeKeyboards();
    return openKeyboards();
}

bool EvdevKeyEventSource::openKeyboards() {
    EvdevKeyboardFinder::Result found = EvdevKeyboardFinder::find(m_directory, *m_access, m_ignoredName);
    if (found.keyboards.empty()) {
        m_lastError = found.problem();
        return false;
    }
    for (EvdevKeyboardFinder::Keyboard& keyboard : found.keyboards) {
        addDevice(keyboard);
    }
    m_timeMapper.reset();
    resynchronise();
    m_lastError.clear();
    if (!m_watcher) {
        // Keyboards plugged in later (a Bluetooth one connects after login). udev gives a new node
        // its group a moment after making it; that change is reported too, and tried again.
        m_watcher = std::make_unique<QFileSystemWatcher>(QStringList{m_directory});
        QObject::connect(m_watcher.get(), &QFileSystemWatcher::directoryChanged, m_watcher.get(),
                         [this] { addNewKeyboards(); });
    }
    return true;
}

void EvdevKeyEventSource::addNewKeyboards() {
    if (!m_handler) {
        return;
    }
    EvdevKeyboardFinder::Result found = EvdevKeyboardFinder::find(m_directory, *m_access, m_ignoredName);
    bool added = false;
    for (EvdevKeyboardFinder::Keyboard& keyboard : found.keyboards) {
        const bool known =
            std::any_of(m_devices.begin(), m_devices.end(),
                        [&](const std::unique_ptr<Device>& device) { return device->path == keyboard.path; });
        if (!known) {
            addDevice(keyboard);
            added = true;
        }
    }
    if (added) {
        resynchronise();
        m_lastError.clear();
    }
}

void EvdevKeyEventSource::addDevice(EvdevKeyboardFinder::Keyboard& keyboard) {
    auto device = std::make_unique<Device>();
    device->path = keyboard.path;
    device->fd = std::move(keyboard.fd);
    device->notifier = new QSocketNotifier(device->fd.get(), QSocketNotifier::Read);
    Device* raw = device.get();
    QObject::connect(device->notifier, &QSocketNotifier::activated, device->notifier,
                     [this, raw] { readDevice(raw); });
    m_devices.push_back(std::move(device));
}

void EvdevKeyEventSource::closeKeyboards() {
    ++m_generation;
    for (const std::unique_ptr<Device>& device : m_devices) {
        dropNotifier(*device);
    }
    m_devices.clear();
}

void EvdevKeyEventSource::dropNotifier(Device& device) {
    device.notifier->setEnabled(false);
    if (m_reading) {
        // We are inside a notifier's own signal (the handler stopped us, or a device went away).
        device.notifier->deleteLater();
    } else {
        delete device.notifier;
    }
    device.notifier = nullptr;
}

void EvdevKeyEventSource::removeDevice(Device* device) {
    dropNotifier(*device);
    std::erase_if(m_devices,
                  [device](const std::unique_ptr<Device>& entry) { return entry.get() == device; });
    // Keys held on the keyboard that went away are up now.
    resynchronise();
}

void EvdevKeyEventSource::resynchronise() {
    std::bitset<KeyEventTranslator::maxEvdevCode> held;
    bool capsLockOn = false;
    for (const std::unique_ptr<Device>& device : m_devices) {
        if (const std::optional<EvdevDeviceAccess::State> state = m_access->state(device->fd.get())) {
            for (std::size_t code = 0; code < held.size(); ++code) {
                held.set(code, held.test(code) || state->heldKeys.test(code));
            }
            capsLockOn = capsLockOn || state->capsLockOn;
        }
    }
    m_translator.reset(held, capsLockOn);
}

void EvdevKeyEventSource::readDevice(Device* device) {
    const QScopedValueRollback reading(m_reading, true);
    const quint64 generation = m_generation;
    std::array<char, 64 * sizeof(input_event)> buffer;
    for (;;) {
        const ssize_t count = ::read(device->fd.get(), buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        }
        if (count <= 0) {
            // ENODEV: unplugged. End of file only happens on what is not a device.
            removeDevice(device);
            if (m_devices.empty()) {
                m_lastError = QStringLiteral("the keyboards went away");
                if (m_onDisabled) {
                    m_onDisabled();
                }
            }
            return;
        }
        device->pending.append(buffer.data(), count);
        const qsizetype whole = device->pending.size() / qsizetype(sizeof(input_event));
        for (qsizetype index = 0; index < whole; ++index) {
            input_event event;
            std::memcpy(&event, device->pending.constData() + index * qsizetype(sizeof event), sizeof event);
            const auto milliseconds =
                static_cast<quint32>(event.input_event_sec * 1000LL + event.input_event_usec / 1000);
            const double timestamp = m_timeMapper.map(milliseconds, m_clock.monotonicSeconds());
            if (!handleEvent(*device, event.type, event.code, event.value, timestamp) ||
                generation != m_generation) {
                return;
            }
        }
        device->pending.remove(0, whole * qsizetype(sizeof(input_event)));
    }
}

bool EvdevKeyEventSource::handleEvent(Device& device, quint16 type, quint16 code, qint32 value,
                                      double timestamp) {
    if (type == EV_SYN) {
        if (code == SYN_DROPPED) {
            // The kernel's queue overflowed: events up to the next report are lost, and the held
            // keys are read again then.
            device.dropping = true;
        } else if (code == SYN_REPORT && device.dropping) {
            device.dropping = false;
            resynchronise();
        }
        return true;
    }
    if (device.dropping) {
        return true;
    }
    if (type == EV_LED && code == LED_CAPSL) {
        // The compositor lights the lock as it sees it, our own Caps Lock presses included.
        m_translator.setCapsLockOn(value != 0);
        return true;
    }
    if (type != EV_KEY) {
        return true;
    }
    std::optional<KeyEvent> keyEvent = m_translator.translate(code, value != released, timestamp);
    if (!keyEvent || !m_handler) {
        return true;
    }
    if (value == autoRepeat && keyEvent->type == KeyEvent::Type::keyDown) {
        keyEvent->isRepeat = true;
    }
    const quint64 generation = m_generation;
    // The handler may stop or restart us; keep it alive for the call.
    const Handler handler = m_handler;
    handler(*keyEvent);
    return generation == m_generation;
}
