#pragma once

#include <QString>

// How the platform serves one port, for `orlavo doctor`: "hotkey" via "evdev" because "...".
struct PortPath {
    QString port;
    QString path;
    QString reason;
};
