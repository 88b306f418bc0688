#pragma once

class X11ConnectionProvider;

namespace X11Compositor {

// Whether a compositing manager runs for the default screen (it owns _NET_WM_CM_S<screen>): only
// then are translucent windows drawn as such. False when the display cannot be reached.
bool isActive(X11ConnectionProvider& connections);

} // namespace X11Compositor
