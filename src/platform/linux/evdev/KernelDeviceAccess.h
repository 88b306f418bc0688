#pragma once

#include "platform/linux/evdev/EvdevDeviceAccess.h"

// The kernel's input devices: open(2), then EVIOCGNAME, EVIOCGBIT, EVIOCGKEY and EVIOCGLED.
class KernelDeviceAccess final : public EvdevDeviceAccess {
public:
    int open(const QString& path) const override;
    std::optional<Description> describe(int fd, const QString& path) const override;
    std::optional<State> state(int fd) const override;
};
