#include "core/hotkey/HotkeyRecognizer.h"

#include "core/hotkey/KeyCodes.h"

#include <utility>

namespace {

// Times are differences of floating-point seconds; a nanosecond of slack keeps a press exactly on
// a boundary on the side the rules put it.
constexpr double slack = 1e-9;

bool atLeast(double elapsed, double limit) {
    return elapsed >= limit - slack;
}

bool atMost(double elapsed, double limit) {
    return elapsed <= limit + slack;
}

} // namespace

bool HotkeyRecognizer::isSpecialKey(qint64 keyCode) {
    return keyCode == KeyCodes::function || keyCode == KeyCodes::capsLock || keyCode == KeyCodes::f14;
}

void HotkeyRecognizer::setBinding(qint64 keyCode, quint64 modifiers, GestureMode gestureMode) {
    m_keyCode = keyCode;
    m_modifiers = modifiers;
    if (gestureMode != m_gestureMode) {
        m_gestureMode = gestureMode;
        reset();
    }
}

void HotkeyRecognizer::handle(const KeyEvent& event, double now) {
    if (m_gestureMode == GestureMode::toggle) {
        handleToggle(event);
        return;
    }
    // While the special-key path owns the bound key, the ordinary path must not see it as well, or
    // both would act on one press.
    if (m_specialKeyListening && event.keyCode == m_keyCode && isSpecialKey(m_keyCode)) {
        handleSpecial(event, now);
    } else {
        handleOrdinary(event, now);
    }
}

bool HotkeyRecognizer::cancelOnEscape(const KeyEvent& event) {
    if (event.keyCode != KeyCodes::escape || event.type != KeyEvent::Type::keyDown || !m_isRecording) {
        return false;
    }
    m_heldThroughCancel = m_isKeyDown && !m_specialKeyPressed;
    m_keyDownTime.reset();
    m_lastKeyUpTime.reset();
    m_isRecording = false;
    m_isToggleMode = false;
    m_effects.emitSignal(HotkeySignal::cancel);
    return true;
}

void HotkeyRecognizer::handleToggle(const KeyEvent& event) {
    if (cancelOnEscape(event) || event.keyCode != m_keyCode) {
        return;
    }
    bool isPress = false;
    switch (event.type) {
    case KeyEvent::Type::keyDown:
        isPress = ((event.flags ^ m_modifiers) & ModifierFlags::bindingMask) == 0;
        break;
    case KeyEvent::Type::keyUp:
        break;
    case KeyEvent::Type::flagsChanged:
        if (m_keyCode == KeyCodes::capsLock) {
            isPress = event.isPress.value_or(!m_isKeyDown);
        } else if (m_keyCode == KeyCodes::function) {
            isPress = event.isPress.value_or((event.flags & ModifierFlags::function) != 0);
        } else {
            return;
        }
        break;
    }
    if (!isPress) {
        m_isKeyDown = false;
        return;
    }
    // A key held down repeats; only a new press counts.
    if (m_isKeyDown || event.isRepeat) {
        return;
    }
    m_isKeyDown = true;
    m_isRecording = !m_isRecording;
    m_effects.emitSignal(m_isRecording ? HotkeySignal::toggleOn : HotkeySignal::toggleOff);
}

void HotkeyRecognizer::handleOrdinary(const KeyEvent& event, double now) {
    if (cancelOnEscape(event) || event.keyCode != m_keyCode) {
        return;
    }
    const bool modifiersMatch = ((event.flags ^ m_modifiers) & ModifierFlags::bindingMask) == 0;
    switch (event.type) {
    case KeyEvent::Type::keyUp:
        // The release of a press we took always counts: people let go of a modifier before the key.
        // A release whose press we never saw counts only with the exact modifiers, so that typing
        // the plain key does not look like half of a double tap.
        if (m_isKeyDown || modifiersMatch) {
            handleOrdinaryKeyUp(now);
        }
        return;
    case KeyEvent::Type::keyDown:
        // An auto-repeat never starts a recording, whatever the state says about the key.
        if (modifiersMatch && !event.isRepeat) {
            handleOrdinaryKeyDown(now);
        }
        return;
    case KeyEvent::Type::flagsChanged:
        return;
    }
}

void HotkeyRecognizer::handleOrdinaryKeyUp(double now) {
    m_isKeyDown = false;
    if (std::exchange(m_heldThroughCancel, false)) {
        return;
    }
    if (!m_isRecording) {
        m_lastKeyUpTime = now;
        return;
    }
    if (!m_isToggleMode) {
        if (!atLeast(now - m_keyDownTime.value_or(now), minimumHold)) {
            m_isRecording = false;
            m_isToggleMode = false;
            m_keyDownTime.reset();
            m_lastKeyUpTime = now;
            m_effects.emitSignal(HotkeySignal::cancel);
        } else {
            m_isRecording = false;
            m_lastKeyUpTime.reset();
            m_effects.emitSignal(HotkeySignal::keyUp);
        }
        return;
    }
    if (m_lastKeyUpTime && atMost(now - *m_lastKeyUpTime, doubleTapWindow)) {
        m_isRecording = false;
        m_isToggleMode = false;
        m_lastKeyUpTime.reset();
        m_effects.emitSignal(HotkeySignal::toggleOff);
    } else {
        m_lastKeyUpTime = now;
    }
}

void HotkeyRecognizer::handleOrdinaryKeyDown(double now) {
    if (m_isKeyDown) {
        return; // auto-repeat
    }
    m_isKeyDown = true;
    m_heldThroughCancel = false;
    m_keyDownTime = now;
    if (m_isRecording) {
        return; // a press inside a latched recording; its release decides
    }
    m_isRecording = true;
    if (m_lastKeyUpTime && now - *m_lastKeyUpTime > 0 && atMost(now - *m_lastKeyUpTime, doubleTapWindow)) {
        m_isToggleMode = true;
        m_lastKeyUpTime.reset();
        m_effects.emitSignal(HotkeySignal::toggleOn);
    } else {
        m_isToggleMode = false;
        m_effects.emitSignal(HotkeySignal::keyDown);
    }
}

void HotkeyRecognizer::handleSpecial(const KeyEvent& event, double now) {
    if (event.type == KeyEvent::Type::flagsChanged) {
        if (m_keyCode == KeyCodes::capsLock) {
            // Where the platform says which way the key went, believe it; guessing by alternation
            // goes wrong after a missed event and stays wrong.
            const bool isPress = event.isPress.value_or(!m_specialKeyPressed);
            isPress ? capsLockDown(now) : capsLockUp(now);
        } else if (m_keyCode == KeyCodes::function) {
            const bool isPress = event.isPress.value_or((event.flags & ModifierFlags::function) != 0);
            isPress ? specialKeyDown(now) : specialKeyUp(now);
        }
        return;
    }
    if (event.type == KeyEvent::Type::keyDown) {
        if (!event.isRepeat) {
            specialKeyDown(now);
        }
    } else {
        specialKeyUp(now);
    }
}

bool HotkeyRecognizer::insideRepressGuard(double now) const {
    return m_lastSpecialKeyUpTime && !atLeast(now - *m_lastSpecialKeyUpTime, specialRepressGuard);
}

void HotkeyRecognizer::specialKeyDown(double now) {
    if (m_specialKeyPressed || insideRepressGuard(now)) {
        return;
    }
    m_specialKeyPressed = true;
    m_isKeyDown = true;
    m_isRecording = true;
    m_isToggleMode = false;
    m_keyDownTime = now;
    m_lastSpecialKeyUpTime.reset();
    m_effects.emitSignal(HotkeySignal::keyDown);
}

void HotkeyRecognizer::specialKeyUp(double now) {
    if (!m_specialKeyPressed) {
        return;
    }
    m_specialKeyPressed = false;
    m_isKeyDown = false;
    m_isRecording = false;
    m_lastSpecialKeyUpTime = now;
    const bool tooShort = !atLeast(now - m_keyDownTime.value_or(now), minimumSpecialHold);
    m_effects.emitSignal(tooShort ? HotkeySignal::cancel : HotkeySignal::keyUp);
}

void HotkeyRecognizer::capsLockDown(double now) {
    if (m_specialKeyPressed || insideRepressGuard(now)) {
        return;
    }
    m_specialKeyPressed = true;
    m_keyDownTime = now;
    m_capsLockActivated = false;
    m_effects.scheduleCapsLockActivation(capsLockActivationDelay);
}

void HotkeyRecognizer::capsLockActivationDue() {
    if (!m_specialKeyPressed) {
        return;
    }
    m_capsLockActivated = true;
    m_isKeyDown = true;
    m_isRecording = true;
    m_isToggleMode = false;
    m_lastSpecialKeyUpTime.reset();
    m_effects.emitSignal(HotkeySignal::keyDown);
}

void HotkeyRecognizer::capsLockUp(double now) {
    if (!m_specialKeyPressed) {
        return;
    }
    m_effects.cancelCapsLockActivation();
    m_specialKeyPressed = false;
    m_isKeyDown = false;
    m_lastSpecialKeyUpTime = now;
    if (!m_capsLockActivated) {
        return; // a quick tap: the ordinary Caps Lock toggle stands
    }
    m_isRecording = false;
    m_capsLockActivated = false;
    m_effects.emitSignal(HotkeySignal::keyUp);
    m_effects.undoCapsLockToggle();
}

void HotkeyRecognizer::reset() {
    m_lastKeyUpTime.reset();
    m_keyDownTime.reset();
    m_lastSpecialKeyUpTime.reset();
    m_isKeyDown = false;
    m_heldThroughCancel = false;
    m_isRecording = false;
    m_isToggleMode = false;
    m_specialKeyPressed = false;
    m_capsLockActivated = false;
}
