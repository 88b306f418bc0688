#pragma once

#include "core/ports/Clock.h"
#include "core/ports/KeyEventSource.h"
#include "platform/linux/evdev/EvdevKeyboardFinder.h"
#include "platform/linux/input/EventTimeMapper.h"
#include "platform/linux/input/KeyEventTranslator.h"
#include "platform/linux/input/UniqueFd.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

class EvdevDeviceAccess;
class QFileSystemWatcher;
class QSocketNotifier;

// Every key press of the seat, read from the keyboards' input devices (/dev/input/event*): works
// under any Wayland compositor for users allowed to read them (the `input` group). Listen only,
// never grabbed. The keyboards feed one translator, as the compositor merges them into one seat;
// KEY_FN is fn and so is Right Control, as on X11. Keyboards plugged in while it listens are
// added. Reading is driven by socket notifiers on the main thread and never blocks.
class EvdevKeyEventSource final : public KeyEventSource {
public:
    // `directory` is searched for keyboards on every start; devices named `ignoredName` (our own
    // virtual keyboard) are left out so that our own key presses are not heard.
    EvdevKeyEventSource(const Clock& clock, std::shared_ptr<const EvdevDeviceAccess> access,
                        QString directory, QString ignoredName);
    ~EvdevKeyEventSource() override;
    EvdevKeyEventSource(const EvdevKeyEventSource&) = delete;
    EvdevKeyEventSource& operator=(const EvdevKeyEventSource&) = delete;

    bool start(Handler handler) override;
    void stop() override;
    bool isEnabled() const override;
    bool enable() override;
    void setOnDisabled(std::function<void()> handler) override { m_onDisabled = std::move(handler); }

    // Why the last start() or enable() found nothing to read, in one line for the user.
    QString lastError() const { return m_lastError; }

private:
    struct Device {
        QString path;
        UniqueFd fd;
        QSocketNotifier* notifier = nullptr;
        QByteArray pending; // a partly read event
        bool dropping = false;
    };

    bool openKeyboards();
    void addNewKeyboards();
    void addDevice(EvdevKeyboardFinder::Keyboard& keyboard);
    void closeKeyboards();
    void readDevice(Device* device);
    // Returns false when the handler stopped or restarted us: nothing may be touched after it.
    bool handleEvent(Device& device, quint16 type, quint16 code, qint32 value, double timestamp);
    void removeDevice(Device* device);
    void dropNotifier(Device& device);
    void resynchronise();

    const Clock& m_clock;
    std::shared_ptr<const EvdevDeviceAccess> m_access;
    QString m_directory;
    QString m_ignoredName;
    Handler m_handler;
    std::function<void()> m_onDisabled;
    std::vector<std::unique_ptr<Device>> m_devices;
    std::unique_ptr<QFileSystemWatcher> m_watcher;
    KeyEventTranslator m_translator;
    EventTimeMapper m_timeMapper;
    quint64 m_generation = 0;
    bool m_reading = false;
    QString m_lastError;
};
