#pragma once

#include "platform/linux/input/UniqueFd.h"

#include <QString>

#include <vector>

class EvdevDeviceAccess;

// The keyboards among the input devices of a folder (/dev/input): devices named event<N> that
// report keys and have letter keys. Mice, power buttons and lid switches report keys too, but
// no letters.
namespace EvdevKeyboardFinder {

struct Keyboard {
    QString path;
    QString name;
    UniqueFd fd;
};

struct Result {
    std::vector<Keyboard> keyboards;
    int deviceCount = 0;    // event<N> entries seen
    int deniedCount = 0;    // of those, how many we may not open
    QString directoryError; // the folder itself could not be listed

    // Why no keyboard can be heard, in one line for the user; empty when one can.
    QString problem() const;
    // Which keyboards are read, in one line.
    QString summary() const;
};

// Opens every keyboard in `directory` except devices called `ignoredName` (our own virtual one,
// whose keys must not come back to us).
Result find(const QString& directory, const EvdevDeviceAccess& access, const QString& ignoredName);

} // namespace EvdevKeyboardFinder
