#pragma once

// The layer-shell client binding. The protocol names an argument `namespace`, which the C that
// wayland-scanner writes may use but C++ may not: it is renamed while the header is read.
#include <wayland-client.h>

#define namespace layerNamespace
#include "platform/linux/wayland/protocols/wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace
