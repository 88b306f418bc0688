#include "VirtualScheduler.h"

#include <algorithm>

Scheduler::TimerId VirtualScheduler::after(double seconds, std::function<void()> work) {
    return add(now() + std::max(0.0, seconds), 0, std::move(work));
}

Scheduler::TimerId VirtualScheduler::repeating(double intervalSeconds, std::function<void()> work) {
    const double interval = std::max(1e-6, intervalSeconds);
    return add(now() + interval, interval, std::move(work));
}

void VirtualScheduler::cancel(TimerId id) {
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
        if (it->second.id == id) {
            m_timers.erase(it);
            return;
        }
    }
}

Scheduler::TimerId VirtualScheduler::add(double due, double interval, std::function<void()> work) {
    const TimerId id = m_nextId++;
    m_timers.emplace(std::pair{due, id}, Timer{id, interval, std::move(work)});
    return id;
}

void VirtualScheduler::advance(double seconds) {
    // A small tolerance so that 0.1 + 0.2 reaches a timer due at 0.3.
    const double target = now() + std::max(0.0, seconds) + 1e-9;
    while (!m_timers.empty() && m_timers.begin()->first.first <= target) {
        auto node = m_timers.extract(m_timers.begin());
        const double due = node.key().first;
        Timer timer = std::move(node.mapped());
        m_clock.advance(std::max(0.0, due - now()));
        if (timer.interval > 0) {
            // Re-arm before running, keeping the id, so the work may cancel its own timer.
            m_timers.emplace(std::pair{due + timer.interval, m_nextId++},
                             Timer{timer.id, timer.interval, timer.work});
        }
        timer.work();
    }
    m_clock.advance(std::max(0.0, target - 1e-9 - now()));
}
