#pragma once

#include "platform/linux/pulse/PulseHandles.h"
#include "platform/linux/pulse/PulseLock.h"

#include <QString>

#include <functional>
#include <optional>

// The connection to the sound server: a threaded main loop, made and started once, and a context
// on it, made again whenever the last one failed. Freeing it stops the loop.
class PulseConnection final {
public:
    // Runs on the loop's thread when the context becomes ready (true) or fails (false).
    using StateListener = std::function<void(const PulseLock&, bool ready)>;

    explicit PulseConnection(StateListener listener);
    ~PulseConnection();
    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    // False when the loop could not be started; nothing else works then.
    bool isRunning() const { return m_loop != nullptr; }
    PulseLock lock() const { return PulseLock(m_loop.get(), true); }

    // Starts connecting unless a usable context exists; false, with a reason, when that fails at once.
    bool connect(const PulseLock&, QString* error);
    bool isReady(const PulseLock&) const;
    pa_context* context(const PulseLock&) const { return m_context.get(); }
    // The server's words for the context's last failure.
    QString lastError(const PulseLock&) const;

    // Waits, releasing the lock meanwhile, until `done` or the time-out; `done` once more at the end.
    bool wait(const PulseLock&, const std::function<bool()>& done, int timeoutMs) const;
    // Wakes a wait() to look at `done` again.
    void wake(const PulseLock&) const { pa_threaded_mainloop_signal(m_loop.get(), 0); }

    // Whether a microphone can be opened: why not, in words for the user, or nothing when it can.
    // Takes the lock; blocks for at most a few seconds when the server hangs.
    std::optional<QString> probe();

private:
    static void stateChanged(pa_context* context, void* userdata);

    StateListener m_listener;
    PulseMainLoop m_loop;
    // Guarded by the loop's lock.
    PulseContext m_context;
};
