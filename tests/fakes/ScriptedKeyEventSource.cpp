#include "ScriptedKeyEventSource.h"

bool ScriptedKeyEventSource::start(Handler handler) {
    ++m_startCount;
    if (!m_startSucceeds) {
        return false;
    }
    m_handler = std::move(handler);
    m_listening = true;
    m_enabled = true;
    return true;
}

void ScriptedKeyEventSource::stop() {
    m_handler = nullptr;
    m_listening = false;
    m_enabled = false;
}

bool ScriptedKeyEventSource::enable() {
    if (m_listening && m_enableSucceeds) {
        m_enabled = true;
    }
    return isEnabled();
}

void ScriptedKeyEventSource::deliver(const KeyEvent& event) {
    if (isEnabled() && m_handler) {
        m_handler(event);
    }
}

void ScriptedKeyEventSource::drop(bool notify) {
    m_enabled = false;
    if (notify && m_onDisabled) {
        m_onDisabled();
    }
}
