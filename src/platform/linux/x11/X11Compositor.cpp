#include "platform/linux/x11/X11Compositor.h"

#include "platform/linux/x11/X11ConnectionProvider.h"

#include <X11/Xlib.h>
#include <string>

namespace X11Compositor {

bool isActive(X11ConnectionProvider& connections) {
    X11Connection* connection = connections.get();
    if (!connection) {
        return false;
    }
    const std::string selection = "_NET_WM_CM_S" + std::to_string(DefaultScreen(connection->display()));
    return XGetSelectionOwner(connection->display(), connection->atom(selection.c_str())) != None;
}

} // namespace X11Compositor
