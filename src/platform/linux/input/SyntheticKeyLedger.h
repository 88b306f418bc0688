#pragma once

#include <deque>

// The key presses this process synthesised and has not yet seen come back. The synthesiser writes
// each one before posting it; the key source takes it out again when the event returns from the
// server's synthetic-input device, and drops that event. Only our own presses are dropped this way:
// other clients that type through the same device (remote desktops, on-screen keyboards, xdotool)
// are still heard.
class SyntheticKeyLedger final {
public:
    // An entry that never came back (the key source was not listening) is forgotten this long
    // after it was written, so that it cannot swallow a later real press.
    static constexpr double lifetimeSeconds = 2.0;

    void record(int keyCode, bool press, double now);

    // Whether an event for that key and direction was ours; it is taken out of the ledger if so.
    bool consume(int keyCode, bool press, double now);

    bool isEmpty() const { return m_entries.empty(); }

private:
    struct Entry {
        int keyCode;
        bool press;
        double time;
    };

    void expire(double now);

    std::deque<Entry> m_entries;
};
