#pragma once

#include "core/ports/Clock.h"

#include <QtGlobal>

#include <coroutine>
#include <functional>

// Runs work later on the main thread. Every wait of the system goes through it, so tests can run
// whole gestures and pipelines in virtual time.
class Scheduler {
public:
    using TimerId = quint64;
    static constexpr TimerId invalidTimer = 0;

    virtual ~Scheduler() = default;

    // Calls `work` once, `seconds` from now (at once, on the next turn of the loop, for 0 or less).
    virtual TimerId after(double seconds, std::function<void()> work) = 0;

    // Calls `work` every `intervalSeconds`, the first time one interval from now.
    virtual TimerId repeating(double intervalSeconds, std::function<void()> work) = 0;

    // Cancels a pending timer. Unknown or finished ids are ignored.
    virtual void cancel(TimerId id) = 0;

    virtual const Clock& clock() const = 0;

    // `co_await scheduler.sleep(0.8);` inside a QCoro::Task suspends the coroutine for that long.
    class SleepAwaiter {
    public:
        SleepAwaiter(Scheduler& scheduler, double seconds)
            : m_scheduler(scheduler)
            , m_seconds(seconds) {}
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> handle) {
            m_scheduler.after(m_seconds, [handle] { handle.resume(); });
        }
        void await_resume() const noexcept {}

    private:
        Scheduler& m_scheduler;
        double m_seconds;
    };

    SleepAwaiter sleep(double seconds) { return SleepAwaiter(*this, seconds); }
};
