#pragma once

#include <QString>

#include <bitset>
#include <linux/input-event-codes.h>
#include <optional>

// Opens input devices and asks what they are. Behind an interface so that discovery and the key
// source can be tried on plain files and FIFOs, which answer no input ioctls.
class EvdevDeviceAccess {
public:
    using KeySet = std::bitset<KEY_CNT>;

    struct Description {
        QString name;
        bool reportsKeys = false; // EV_KEY among its event types
        KeySet keys;              // the keys it has
    };

    struct State {
        KeySet heldKeys;
        bool capsLockOn = false; // the Caps Lock light
    };

    virtual ~EvdevDeviceAccess() = default;

    // A non-blocking, read-only descriptor, or -errno.
    virtual int open(const QString& path) const = 0;

    // Absent when `fd` is no input device. `path` is where it was opened.
    virtual std::optional<Description> describe(int fd, const QString& path) const = 0;

    // The keys held and the lock lights at this moment; absent when they cannot be read.
    virtual std::optional<State> state(int fd) const = 0;
};
