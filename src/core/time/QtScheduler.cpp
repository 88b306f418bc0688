#include "core/time/QtScheduler.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

QtScheduler::QtScheduler(QObject* parent)
    : QObject(parent) {}

QtScheduler::~QtScheduler() {
    // The timers are children and die with us; nothing may fire during destruction.
    for (auto& [id, timer] : m_timers) {
        timer->stop();
    }
}

Scheduler::TimerId QtScheduler::after(double seconds, std::function<void()> work) {
    return schedule(seconds, false, std::move(work));
}

Scheduler::TimerId QtScheduler::repeating(double intervalSeconds, std::function<void()> work) {
    return schedule(intervalSeconds, true, std::move(work));
}

void QtScheduler::cancel(TimerId id) {
    const auto found = m_timers.find(id);
    if (found == m_timers.end()) {
        return;
    }
    found->second->stop();
    found->second->deleteLater();
    m_timers.erase(found);
}

Scheduler::TimerId QtScheduler::schedule(double seconds, bool repeat, std::function<void()> work) {
    const TimerId id = m_nextId++;
    auto* timer = new QTimer(this);
    timer->setSingleShot(!repeat);
    // Short waits (the 50 ms paste pause, the 0.1 s ticker) must not be rounded to coarse slots.
    timer->setTimerType(Qt::PreciseTimer);
    const double milliseconds = std::max(0.0, std::round(seconds * 1000.0));
    timer->setInterval(static_cast<int>(std::min(milliseconds, 2147483647.0)));
    connect(timer, &QTimer::timeout, this, [this, id, repeat, work = std::move(work)] {
        if (!repeat) {
            // Forget the timer before running the work: the work may schedule or cancel others.
            if (const auto found = m_timers.find(id); found != m_timers.end()) {
                found->second->deleteLater();
                m_timers.erase(found);
            }
        }
        work();
    });
    m_timers.emplace(id, timer);
    timer->start();
    return id;
}
