#pragma once

#include "core/hotkey/HotkeySignal.h"
#include "core/model/GestureMode.h"
#include "core/model/HotkeyBinding.h"
#include "core/ports/KeyEventSource.h"

#include <optional>

// Turns the key events of the session into hotkey signals: a hold, a quick tap, a double tap that
// latches recording, Escape. Pure state: the caller passes the time of every event and carries out
// what the recogniser asks of it through Effects. Nothing here allocates.
//
// Two paths: ordinary keys go through the key-down/key-up rules with the double tap; the special
// keys (fn, Caps Lock, F14) go through a hold-only path of their own while the special-key
// listener is installed. In toggle mode both paths are replaced by one rule: a press starts a
// recording and the next press finishes it.
class HotkeyRecognizer final {
public:
    class Effects {
    public:
        virtual ~Effects() = default;
        virtual void emitSignal(HotkeySignal signal) = 0;
        virtual void scheduleCapsLockActivation(double delaySeconds) = 0;
        virtual void cancelCapsLockActivation() = 0;
        // Presses Caps Lock once more, so that a long press used as a hotkey leaves its state as it was.
        virtual void undoCapsLockToggle() = 0;
    };

    static constexpr double doubleTapWindow = 0.4;
    static constexpr double minimumHold = 0.1;
    static constexpr double minimumSpecialHold = 0.15;
    static constexpr double specialRepressGuard = 0.5;
    static constexpr double capsLockActivationDelay = 0.3;

    explicit HotkeyRecognizer(Effects& effects)
        : m_effects(effects) {}

    static bool isSpecialKey(qint64 keyCode);

    void setBinding(qint64 keyCode, quint64 modifiers, GestureMode gestureMode = GestureMode::pushToTalk);
    // Set while the special-key listener is installed, that is when the bound key was special at start.
    void setSpecialKeyListening(bool listening) { m_specialKeyListening = listening; }

    void handle(const KeyEvent& event, double now);
    void capsLockActivationDue();

    // Forgets every gesture in progress, special keys included. A pending Caps Lock activation is
    // the caller's to cancel.
    void reset();

private:
    bool cancelOnEscape(const KeyEvent& event);
    void handleToggle(const KeyEvent& event);
    void handleOrdinary(const KeyEvent& event, double now);
    void handleOrdinaryKeyUp(double now);
    void handleOrdinaryKeyDown(double now);
    void handleSpecial(const KeyEvent& event, double now);
    void specialKeyDown(double now);
    void specialKeyUp(double now);
    void capsLockDown(double now);
    void capsLockUp(double now);
    bool insideRepressGuard(double now) const;

    Effects& m_effects;
    qint64 m_keyCode = 0;
    quint64 m_modifiers = 0;
    GestureMode m_gestureMode = GestureMode::pushToTalk;
    bool m_specialKeyListening = false;

    // Absent means "no time recorded": monotonic times may legitimately be near zero.
    std::optional<double> m_lastKeyUpTime;
    std::optional<double> m_keyDownTime;
    std::optional<double> m_lastSpecialKeyUpTime;
    bool m_isKeyDown = false;
    // Escape ended the recording while the key was held: its release is not half of a double tap.
    bool m_heldThroughCancel = false;
    bool m_isRecording = false;
    bool m_isToggleMode = false;
    bool m_specialKeyPressed = false;
    bool m_capsLockActivated = false;
};
