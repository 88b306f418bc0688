#pragma once

#include <QtGlobal>

// Maps the server's event times (milliseconds on the server's clock, wrapping every 2^32 ms) onto
// the local monotonic clock. Events can be read late and in bursts (a busy main thread), so the
// moment an event is read is no measure of when the key moved; the server's own times keep the
// intervals between events exact. The offset between the two clocks comes from a calibration (a
// server time taken during a round trip) or else from the first event, and shrinks whenever an
// event arrives sooner than the offset allows: the least delayed reading is the best estimate.
class EventTimeMapper final {
public:
    // `now` is the local monotonic time at which the event was read.
    double map(quint32 serverMilliseconds, double now);

    // The server's time was `serverMilliseconds` at the local time `localSeconds`.
    void calibrate(quint32 serverMilliseconds, double localSeconds);

    void reset() { m_anchored = false; }

private:
    bool m_anchored = false;
    quint32 m_lastServerMilliseconds = 0;
    double m_serverSeconds = 0; // unwrapped
    double m_offset = 0;
    double m_lastResult = 0;
};
