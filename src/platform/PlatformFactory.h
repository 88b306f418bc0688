#pragma once

#include "platform/PlatformServices.h"

#include <vector>

class Clock;
class KeyValueStore;

// Picks the desktop platform, the one place that does. The login session decides the family (a
// Wayland session gets the Wayland family even where XWayland runs, an X11 session X11), and
// ORLAVO_PLATFORM=x11|wayland|null overrides it. X11 needs the interface on an X display with
// XInput 2 and XTest; where a family cannot run, the null platform stands in and says why.
namespace PlatformFactory {

// `clock` stamps the key events: give it the clock of the scheduler the hotkey monitor runs on, so
// that the events' times and the monitor's timers agree. `defaults` keeps what a desktop portal
// lets us restore next time (the typing permission); without it the portal asks at every run.
// Both must outlive the services.
PlatformServices create(const Clock& clock, KeyValueStore* defaults = nullptr);

// The choices create() would make, port by port, without making any device: for `orlavo doctor`,
// which has no interface of its own. `qtPlatform` is the Qt platform the interface would run on,
// empty for none.
std::vector<PortPath> describe(const QString& qtPlatform);

} // namespace PlatformFactory
