#pragma once

#include "PlatformServices.h"

class Clock;

// Picks the desktop platform, the one place that does. ORLAVO_PLATFORM=null asks for the null
// platform and ORLAVO_PLATFORM=x11 for X11; otherwise X11 is used when the application's GUI runs
// on an X display that offers XInput 2 and XTest, and the null platform, with the reason, when not.
namespace PlatformFactory {

// `clock` stamps the key events: give it the clock of the scheduler the hotkey monitor runs on, so
// that the events' times and the monitor's timers agree. It must outlive the services.
PlatformServices create(const Clock& clock);

} // namespace PlatformFactory
