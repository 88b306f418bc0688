#include "platform/linux/evdev/KernelDeviceAccess.h"

#include <QFile>

#include <array>
#include <cerrno>
#include <climits>
#include <ctime>
#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>

namespace {

// The kernel fills bit masks as arrays of longs, so bits are taken from the longs (read byte by
// byte, the order would hold on little-endian machines only). `request` makes the ioctl request
// for a buffer of the given length.
template <std::size_t Bits, typename Request>
bool readBits(int fd, Request request, std::bitset<Bits>& bits) {
    constexpr std::size_t longBits = sizeof(unsigned long) * CHAR_BIT;
    std::array<unsigned long, (Bits + longBits - 1) / longBits> words{};
    if (::ioctl(fd, request(sizeof words), words.data()) < 0) {
        return false;
    }
    for (std::size_t bit = 0; bit < Bits; ++bit) {
        if ((words[bit / longBits] >> (bit % longBits)) & 1UL) {
            bits.set(bit);
        }
    }
    return true;
}

} // namespace

int KernelDeviceAccess::open(const QString& path) const {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -errno;
    }
    // Event times on the monotonic clock: the wall clock may jump while a key is held. Devices
    // that refuse keep the wall clock, which the time mapping tolerates.
    int clockId = CLOCK_MONOTONIC;
    ::ioctl(fd, EVIOCSCLOCKID, &clockId);
    return fd;
}

std::optional<EvdevDeviceAccess::Description> KernelDeviceAccess::describe(int fd, const QString&) const {
    std::bitset<EV_CNT> types;
    if (!readBits(
            fd, [](std::size_t length) { return EVIOCGBIT(0, length); }, types)) {
        return std::nullopt;
    }
    Description description;
    description.reportsKeys = types.test(EV_KEY);
    if (description.reportsKeys &&
        !readBits(
            fd, [](std::size_t length) { return EVIOCGBIT(EV_KEY, length); }, description.keys)) {
        return std::nullopt;
    }
    std::array<char, 256> name{};
    if (::ioctl(fd, EVIOCGNAME(name.size() - 1), name.data()) >= 0) {
        description.name = QString::fromUtf8(name.data());
    }
    return description;
}

std::optional<EvdevDeviceAccess::State> KernelDeviceAccess::state(int fd) const {
    State state;
    std::bitset<LED_CNT> leds;
    if (!readBits(
            fd, [](std::size_t length) { return EVIOCGKEY(length); }, state.heldKeys) ||
        !readBits(
            fd, [](std::size_t length) { return EVIOCGLED(length); }, leds)) {
        return std::nullopt;
    }
    state.capsLockOn = leds.test(LED_CAPSL);
    return state;
}
