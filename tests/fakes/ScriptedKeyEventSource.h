#pragma once

#include "core/ports/KeyEventSource.h"

// A key feed driven by the test: deliver() hands an event to the listener as the platform would.
class ScriptedKeyEventSource final : public KeyEventSource {
public:
    bool start(Handler handler) override {
        ++m_startCount;
        if (m_startSucceeds) {
            m_handler = std::move(handler);
            m_listening = m_enabled = true;
        }
        return m_startSucceeds;
    }
    void stop() override {
        m_handler = nullptr;
        m_listening = m_enabled = false;
    }
    bool isEnabled() const override { return m_listening && m_enabled; }
    bool enable() override {
        m_enabled = m_enabled || (m_listening && m_enableSucceeds);
        return isEnabled();
    }
    void setOnDisabled(std::function<void()> handler) override { m_onDisabled = std::move(handler); }

    // Delivers to the listener, if one is listening and the feed is enabled.
    void deliver(const KeyEvent& event) {
        if (isEnabled() && m_handler) {
            m_handler(event);
        }
    }
    // The platform drops the feed; `notify` says whether it tells the listener.
    void drop(bool notify) {
        m_enabled = false;
        if (notify && m_onDisabled) {
            m_onDisabled();
        }
    }

    bool isListening() const { return m_listening; }
    void setStartSucceeds(bool succeeds) { m_startSucceeds = succeeds; }
    void setEnableSucceeds(bool succeeds) { m_enableSucceeds = succeeds; }
    int startCount() const { return m_startCount; }

private:
    Handler m_handler;
    std::function<void()> m_onDisabled;
    bool m_listening = false;
    bool m_enabled = false;
    bool m_startSucceeds = true;
    bool m_enableSucceeds = true;
    int m_startCount = 0;
};
