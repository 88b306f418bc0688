#include "platform/linux/x11/X11KeyEventSource.h"

#include "platform/linux/input/LinuxKeyTable.h"
#include "platform/linux/input/SyntheticKeyLedger.h"
#include "platform/linux/x11/X11Connection.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <bitset>
#include <cstring>

namespace {

// X key codes are evdev codes plus this.
constexpr int evdevOffset = 8;

} // namespace

X11KeyEventSource::X11KeyEventSource(const Clock& clock, std::shared_ptr<SyntheticKeyLedger> ledger)
    : m_clock(clock)
    , m_ledger(std::move(ledger)) {}

X11KeyEventSource::~X11KeyEventSource() {
    disconnectFromServer();
}

bool X11KeyEventSource::start(Handler handler) {
    disconnectFromServer();
    m_handler = std::move(handler);
    if (!connectToServer()) {
        m_handler = nullptr;
        return false;
    }
    return true;
}

void X11KeyEventSource::stop() {
    m_handler = nullptr;
    disconnectFromServer();
}

bool X11KeyEventSource::isEnabled() const {
    return m_connection && !m_connection->isLost();
}

bool X11KeyEventSource::enable() {
    if (!m_handler) {
        return false;
    }
    if (isEnabled()) {
        return true;
    }
    disconnectFromServer();
    return connectToServer();
}

unsigned long X11KeyEventSource::connectionResourceBase() const {
    return m_connection ? m_connection->resourceIdBase() : 0;
}

bool X11KeyEventSource::connectToServer() {
    m_connection = X11Connection::open(&m_lastError);
    if (!m_connection) {
        return false;
    }
    Display* display = m_connection->display();
    int event = 0;
    int error = 0;
    if (!XQueryExtension(display, "XInputExtension", &m_inputOpcode, &event, &error)) {
        m_lastError = QStringLiteral("the X server has no XInput extension");
        m_connection.reset();
        return false;
    }
    int major = 2;
    int minor = 2;
    if (XIQueryVersion(display, &major, &minor) != Success || major < 2) {
        m_lastError = QStringLiteral("the X server does not offer XInput 2");
        m_connection.reset();
        return false;
    }

    // Raw events carry the slave device that produced them, which tells our synthetic presses
    // from real ones. Master devices only: selecting every device would deliver each press twice.
    unsigned char keyMask[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(keyMask, XI_RawKeyPress);
    XISetMask(keyMask, XI_RawKeyRelease);
    unsigned char hierarchyMask[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(hierarchyMask, XI_HierarchyChanged);
    XIEventMask masks[2] = {
        {XIAllMasterDevices, static_cast<int>(sizeof keyMask), keyMask},
        {XIAllDevices, static_cast<int>(sizeof hierarchyMask), hierarchyMask},
    };
    X11ErrorTrap trap(*m_connection);
    XISelectEvents(display, m_connection->rootWindow(), masks, 2);
    findSyntheticDevices();

    // The lock state as the keyboard changes it, in order with the raw events: asking for it
    // instead would answer for presses the server has already gone past.
    int xkbOpcode = 0;
    int xkbError = 0;
    int xkbMajor = XkbMajorVersion;
    int xkbMinor = XkbMinorVersion;
    m_xkbEventBase = -1;
    if (XkbQueryExtension(display, &xkbOpcode, &m_xkbEventBase, &xkbError, &xkbMajor, &xkbMinor)) {
        XkbSelectEventDetails(display, XkbUseCoreKbd, XkbStateNotify, XkbModifierLockMask,
                              XkbModifierLockMask);
    } else {
        m_xkbEventBase = -1;
    }

    // Keys already held (a modifier, the hotkey itself) count from the start.
    char keys[32] = {};
    XQueryKeymap(display, keys);
    std::bitset<KeyEventTranslator::maxEvdevCode> held;
    for (int xKeyCode = evdevOffset; xKeyCode < 256; ++xKeyCode) {
        if (keys[xKeyCode / 8] & (1 << (xKeyCode % 8))) {
            held.set(static_cast<std::size_t>(xKeyCode - evdevOffset));
        }
    }
    m_translator.reset(held, readCapsLockState());
    calibrateServerTime();

    if (trap.failed()) {
        m_lastError = QStringLiteral("the X server refused to report key events");
        m_connection.reset();
        return false;
    }
    m_eventHandlerId = m_connection->addEventHandler([this](XEvent& xEvent) { handleEvent(xEvent); });
    m_connection->setOnLost([this] { handleConnectionLost(); });
    m_lastError.clear();
    return true;
}

void X11KeyEventSource::disconnectFromServer() {
    if (!m_connection) {
        return;
    }
    m_connection->removeEventHandler(m_eventHandlerId);
    m_connection->setOnLost(nullptr);
    // stop() may be called from inside our own handler, while the connection dispatches.
    m_connection.release()->deleteLater();
}

void X11KeyEventSource::handleEvent(XEvent& event) {
    if (m_xkbEventBase >= 0 && event.type == m_xkbEventBase) {
        const auto& xkbEvent = reinterpret_cast<const XkbEvent&>(event);
        if (xkbEvent.any.xkb_type == XkbStateNotify) {
            m_translator.setCapsLockOn((xkbEvent.state.locked_mods & LockMask) != 0);
        }
        return;
    }
    XGenericEventCookie* cookie = &event.xcookie;
    if (cookie->type != GenericEvent || cookie->extension != m_inputOpcode) {
        return;
    }
    Display* display = m_connection->display();
    if (!XGetEventData(display, cookie)) {
        return;
    }
    switch (cookie->evtype) {
    case XI_RawKeyPress:
    case XI_RawKeyRelease: {
        const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
        const bool press = cookie->evtype == XI_RawKeyPress;
        const int keyCode = raw->detail;
        const int source = raw->sourceid;
        const unsigned long time = raw->time;
        const bool repeat = (raw->flags & XIKeyRepeat) != 0;
        XFreeEventData(display, cookie);
        handleKey(keyCode, press, source, time, repeat);
        return;
    }
    case XI_HierarchyChanged:
        XFreeEventData(display, cookie);
        findSyntheticDevices();
        return;
    default:
        XFreeEventData(display, cookie);
        return;
    }
}

void X11KeyEventSource::handleKey(int xKeyCode, bool press, int sourceDevice, unsigned long serverTime,
                                  bool repeat) {
    const double now = m_clock.monotonicSeconds();
    const int evdevCode = xKeyCode - evdevOffset;
    if (m_syntheticDevices.contains(sourceDevice) && m_ledger && m_ledger->consume(xKeyCode, press, now)) {
        if (evdevCode == LinuxKeyTable::capsLockKey) {
            m_translator.trackCapsLock(press);
        }
        return;
    }
    const double timestamp = m_timeMapper.map(static_cast<quint32>(serverTime), now);
    std::optional<KeyEvent> event = m_translator.translate(evdevCode, press, timestamp);
    if (!event || !m_handler) {
        return;
    }
    if (repeat && event->type == KeyEvent::Type::keyDown) {
        event->isRepeat = true;
    }
    // The handler may stop or restart us; keep it alive for the call.
    const Handler handler = m_handler;
    handler(*event);
}

void X11KeyEventSource::findSyntheticDevices() {
    m_syntheticDevices.clear();
    Display* display = m_connection->display();
    const Atom xtestProperty = m_connection->atom("XTEST Device");
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(display, XIAllDevices, &count);
    for (int index = 0; devices && index < count; ++index) {
        const XIDeviceInfo& device = devices[index];
        if (device.use != XISlaveKeyboard) {
            continue;
        }
        bool synthetic = std::strstr(device.name, "XTEST") != nullptr;
        Atom type = None;
        int format = 0;
        unsigned long items = 0;
        unsigned long bytesAfter = 0;
        unsigned char* data = nullptr;
        if (xtestProperty != None &&
            XIGetProperty(display, device.deviceid, xtestProperty, 0, 1, False, AnyPropertyType, &type,
                          &format, &items, &bytesAfter, &data) == Success &&
            data) {
            synthetic = synthetic || (format == 8 && items == 1 && data[0] != 0);
            XFree(data);
        }
        if (synthetic) {
            m_syntheticDevices.insert(device.deviceid);
        }
    }
    if (devices) {
        XIFreeDeviceInfo(devices);
    }
}

void X11KeyEventSource::calibrateServerTime() {
    m_timeMapper.reset();
    Display* display = m_connection->display();
    // A property change is stamped with the server's time when it is made; the round trip around
    // it brackets that moment locally.
    XSetWindowAttributes attributes = {};
    attributes.event_mask = PropertyChangeMask;
    const Window window = XCreateWindow(display, m_connection->rootWindow(), -1, -1, 1, 1, 0, CopyFromParent,
                                        InputOnly, CopyFromParent, CWEventMask, &attributes);
    const double before = m_clock.monotonicSeconds();
    XChangeProperty(display, window, XA_WM_NAME, XA_STRING, 8, PropModeAppend, nullptr, 0);
    XSync(display, False);
    const double after = m_clock.monotonicSeconds();
    XEvent event;
    if (XCheckTypedWindowEvent(display, window, PropertyNotify, &event)) {
        // Server times are whole milliseconds, truncated.
        m_timeMapper.calibrate(static_cast<quint32>(event.xproperty.time), (before + after) / 2 - 0.0005);
    }
    XDestroyWindow(display, window);
}

bool X11KeyEventSource::readCapsLockState() {
    XkbStateRec state;
    if (m_xkbEventBase < 0 || XkbGetState(m_connection->display(), XkbUseCoreKbd, &state) != Success) {
        return false;
    }
    return (state.locked_mods & LockMask) != 0;
}

void X11KeyEventSource::handleConnectionLost() {
    disconnectFromServer();
    m_lastError = QStringLiteral("the connection to the X server was lost");
    if (m_onDisabled) {
        m_onDisabled();
    }
}
