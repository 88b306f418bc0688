#pragma once

#include "ServiceCallLog.h"
#include "core/hotkey/IHotkeyMonitor.h"

// A hotkey monitor whose signals the test sends. Like the real one, start() emits `ready`.
class FakeHotkeyMonitor final : public IHotkeyMonitor {
public:
    void setOnSignal(SignalHandler handler) override { m_handler = std::move(handler); }
    HotkeyBinding binding() const override { return m_binding; }
    void setBinding(const HotkeyBinding& binding) override { m_binding = binding; }
    bool isRunning() const override { return m_running; }
    void start() override {
        if (m_running) {
            return;
        }
        ++startCount;
        logCall(log, QStringLiteral("monitor:start"));
        if (refusesToStart) {
            return;
        }
        m_running = true;
        startedBinding = m_binding;
        send(HotkeySignal::ready);
    }
    void stop() override {
        if (m_running) {
            ++stopCount;
            logCall(log, QStringLiteral("monitor:stop"));
            m_running = false;
        }
    }

    void send(HotkeySignal signal) {
        if (m_handler) {
            m_handler(signal);
        }
    }
    bool hasHandler() const { return static_cast<bool>(m_handler); }

    // start() installs nothing (no display, no permission).
    bool refusesToStart = false;
    int startCount = 0;
    int stopCount = 0;
    // The binding the listeners were last installed with.
    std::optional<HotkeyBinding> startedBinding;
    ServiceCallLog* log = nullptr;

private:
    SignalHandler m_handler;
    HotkeyBinding m_binding;
    bool m_running = false;
};
