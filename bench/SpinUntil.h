#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>

// Runs the Qt event loop until `done`, at most `timeoutMs`; false on time-out. Waits for events
// rather than sleeping, so a measured latency is not rounded up to a sleep's length.
template <typename Predicate>
bool spinUntil(Predicate done, int timeoutMs = 5000) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}
