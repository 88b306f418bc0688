#pragma once

#include "core/ports/Scheduler.h"
#include "core/time/SystemClock.h"

#include <QObject>

#include <unordered_map>

class QTimer;

// Scheduler on Qt timers of the thread that owns it (the main thread).
class QtScheduler final
    : public QObject
    , public Scheduler {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QtScheduler)

public:
    explicit QtScheduler(QObject* parent = nullptr);
    ~QtScheduler() override;

    TimerId after(double seconds, std::function<void()> work) override;
    TimerId repeating(double intervalSeconds, std::function<void()> work) override;
    void cancel(TimerId id) override;
    const Clock& clock() const override { return m_clock; }

private:
    TimerId schedule(double seconds, bool repeat, std::function<void()> work);

    SystemClock m_clock;
    TimerId m_nextId = 1;
    std::unordered_map<TimerId, QTimer*> m_timers;
};
