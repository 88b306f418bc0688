#pragma once

#include "VirtualClock.h"
#include "core/ports/Scheduler.h"

#include <map>
#include <utility>

// A scheduler in virtual time: nothing runs until advance(), which moves the clock forward and
// runs every timer that falls due, in due order, with the clock set to each one's due time.
// Timers due at the same moment run in the order they were scheduled.
class VirtualScheduler final : public Scheduler {
public:
    TimerId after(double seconds, std::function<void()> work) override;
    TimerId repeating(double intervalSeconds, std::function<void()> work) override;
    void cancel(TimerId id) override;
    const Clock& clock() const override { return m_clock; }

    double now() const { return m_clock.monotonicSeconds(); }

    void advance(double seconds);
    // Runs what is due now (zero-delay timers) without moving the clock.
    void runDue() { advance(0); }
    std::size_t pendingCount() const { return m_timers.size(); }

private:
    struct Timer {
        TimerId id;
        double interval; // 0 for one-shot
        std::function<void()> work;
    };

    TimerId add(double due, double interval, std::function<void()> work);

    VirtualClock m_clock;
    TimerId m_nextId = 1;
    // (due time, sequence) → timer
    std::multimap<std::pair<double, TimerId>, Timer> m_timers;
};
