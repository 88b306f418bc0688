#pragma once

#include <pulse/thread-mainloop.h>

// Proof that the threaded main loop's lock is held. Functions that touch the loop's state take one,
// so calling them unlocked does not compile. Only the connection makes one by locking, and only
// the loop's own callbacks, which run with the lock held, make one without.
class PulseLock final {
public:
    PulseLock(const PulseLock&) = delete;
    PulseLock& operator=(const PulseLock&) = delete;
    ~PulseLock() {
        if (m_taken) {
            pa_threaded_mainloop_unlock(m_loop);
        }
    }

private:
    friend class PulseConnection;
    friend class PulseRecordStream;

    // For the loop's callbacks: the loop holds the lock while it runs them.
    static PulseLock heldByLoop() { return PulseLock(nullptr, false); }

    PulseLock(pa_threaded_mainloop* loop, bool take)
        : m_loop(loop)
        , m_taken(take) {
        if (m_taken) {
            pa_threaded_mainloop_lock(m_loop);
        }
    }

    pa_threaded_mainloop* m_loop;
    bool m_taken;
};
