#pragma once

#include "core/hotkey/HotkeySignal.h"
#include "core/model/HotkeyBinding.h"

#include <functional>

// The global hotkey listener as its owner uses it. Signals are delivered on the main thread,
// synchronously from inside the key event that caused them.
class IHotkeyMonitor {
public:
    using SignalHandler = std::function<void(HotkeySignal)>;

    virtual ~IHotkeyMonitor() = default;

    virtual void setOnSignal(SignalHandler handler) = 0;

    // Read at every event; a new binding's listeners are installed only by the next start().
    virtual HotkeyBinding binding() const = 0;
    virtual void setBinding(const HotkeyBinding& binding) = 0;

    virtual bool isRunning() const = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
};
