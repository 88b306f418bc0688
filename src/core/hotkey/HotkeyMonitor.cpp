#include "core/hotkey/HotkeyMonitor.h"

#include "core/common/CoreLogging.h"
#include "core/hotkey/KeyCodes.h"
#include "core/ports/KeyEventSource.h"
#include "core/ports/KeySynthesizer.h"

#include <QDebug>

#include <algorithm>

HotkeyMonitor::HotkeyMonitor(const HotkeyBinding& binding, KeyEventSource& keyEvents,
                             KeySynthesizer& keySynthesizer, Scheduler& scheduler)
    : m_keyEvents(keyEvents)
    , m_keySynthesizer(keySynthesizer)
    , m_scheduler(scheduler)
    , m_binding(binding)
    , m_recognizer(*this) {
    m_recognizer.setBinding(binding.keyCode, binding.modifiersRawValue, binding.gestureMode);
}

HotkeyMonitor::~HotkeyMonitor() {
    m_onSignal = nullptr;
    stop();
}

void HotkeyMonitor::setBinding(const HotkeyBinding& binding) {
    m_binding = binding;
    m_recognizer.setBinding(binding.keyCode, binding.modifiersRawValue, binding.gestureMode);
}

void HotkeyMonitor::start() {
    if (m_isRunning) {
        return;
    }
    m_keyEvents.setOnDisabled([this] { handleFeedDisabled(); });
    m_keyEvents.setBinding(m_binding);
    // One feed serves both paths here, so without it nothing can be recognised and nothing is
    // reported as running.
    if (!m_keyEvents.start([this](const KeyEvent& event) { handleKeyEvent(event); })) {
        m_keyEvents.setOnDisabled(nullptr);
        return;
    }
    m_isRunning = true;
    const bool special = HotkeyRecognizer::isSpecialKey(m_binding.keyCode);
    m_recognizer.setSpecialKeyListening(special);
    m_watchdog = m_scheduler.repeating(watchdogInterval, [this] { checkFeed(); });
    // The special-key listener and the key feed each announce themselves.
    if (special) {
        emitSignal(HotkeySignal::ready);
    }
    emitSignal(HotkeySignal::ready);
}

void HotkeyMonitor::stop() {
    if (!m_isRunning) {
        return;
    }
    m_isRunning = false;
    m_keyEvents.setOnDisabled(nullptr);
    m_keyEvents.stop();
    m_scheduler.cancel(m_watchdog);
    m_watchdog = Scheduler::invalidTimer;
    cancelCapsLockActivation();
    m_recognizer.setSpecialKeyListening(false);
    m_recognizer.reset();
}

void HotkeyMonitor::handleKeyEvent(const KeyEvent& event) {
    if (!m_isRunning) {
        return;
    }
    // When the key moved, not when we got to it: a busy main thread reads events late and in
    // bursts, and a hold read that way would look like a tap. Never later than now, should a
    // source stamp with another clock.
    const double now = m_scheduler.clock().monotonicSeconds();
    const double moved = event.timestamp > 0 ? std::min(event.timestamp, now) : now;
    m_recognizer.handle(event, moved);
}

void HotkeyMonitor::handleFeedDisabled() {
    if (m_isRunning && m_keyEvents.enable()) {
        emitSignal(HotkeySignal::reEnable);
    }
}

void HotkeyMonitor::checkFeed() {
    if (m_isRunning && !m_keyEvents.isEnabled() && m_keyEvents.enable()) {
        emitSignal(HotkeySignal::reEnable);
    }
}

void HotkeyMonitor::emitSignal(HotkeySignal signal) {
    if (m_onSignal) {
        m_onSignal(signal);
    }
}

void HotkeyMonitor::scheduleCapsLockActivation(double delaySeconds) {
    cancelCapsLockActivation();
    m_capsLockActivation = m_scheduler.after(delaySeconds, [this] {
        m_capsLockActivation = Scheduler::invalidTimer;
        m_recognizer.capsLockActivationDue();
    });
}

void HotkeyMonitor::cancelCapsLockActivation() {
    if (m_capsLockActivation != Scheduler::invalidTimer) {
        m_scheduler.cancel(m_capsLockActivation);
        m_capsLockActivation = Scheduler::invalidTimer;
    }
}

void HotkeyMonitor::undoCapsLockToggle() {
    // Our own presses are not reported back by the feed, so they cannot start a gesture.
    if (const Result<void> posted = m_keySynthesizer.tapKey(KeyCodes::capsLock, 0); !posted) {
        qCWarning(lcHotkey).noquote()
            << "Could not restore the Caps Lock state:" << posted.error().toString();
    }
}
