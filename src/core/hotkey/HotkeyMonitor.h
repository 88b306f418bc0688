#pragma once

#include "core/hotkey/HotkeyRecognizer.h"
#include "core/hotkey/IHotkeyMonitor.h"
#include "core/ports/Scheduler.h"

class KeyEventSource;
class KeySynthesizer;

// The global hotkey listener: feeds the session's key events to the recogniser, keeps the feed
// alive (it is re-enabled when the platform drops it, and checked every 30 s), and carries out the
// recogniser's timers and Caps Lock presses. Main thread only; it must outlive nothing it started,
// so it stops itself when destroyed.
class HotkeyMonitor final
    : public IHotkeyMonitor
    , private HotkeyRecognizer::Effects {
    Q_DISABLE_COPY_MOVE(HotkeyMonitor)

public:
    static constexpr double watchdogInterval = 30.0;

    HotkeyMonitor(const HotkeyBinding& binding, KeyEventSource& keyEvents, KeySynthesizer& keySynthesizer,
                  Scheduler& scheduler);
    ~HotkeyMonitor() override;

    void setOnSignal(SignalHandler handler) override { m_onSignal = std::move(handler); }
    HotkeyBinding binding() const override { return m_binding; }
    void setBinding(const HotkeyBinding& binding) override;
    bool isRunning() const override { return m_isRunning; }
    void start() override;
    void stop() override;

private:
    void handleKeyEvent(const KeyEvent& event);
    void handleFeedDisabled();
    void checkFeed();

    void emitSignal(HotkeySignal signal) override;
    void scheduleCapsLockActivation(double delaySeconds) override;
    void cancelCapsLockActivation() override;
    void undoCapsLockToggle() override;

    KeyEventSource& m_keyEvents;
    KeySynthesizer& m_keySynthesizer;
    Scheduler& m_scheduler;
    HotkeyBinding m_binding;
    HotkeyRecognizer m_recognizer;
    SignalHandler m_onSignal;
    bool m_isRunning = false;
    Scheduler::TimerId m_watchdog = Scheduler::invalidTimer;
    Scheduler::TimerId m_capsLockActivation = Scheduler::invalidTimer;
};
