#pragma once

#include <QString>

#include <optional>

// Whether the X display lets Orlavo hear global keys (XInput 2) and post the paste keys (XTest).
// Opens a display connection of its own and closes it again, touching no shared state, so that it
// may run on any thread while the application's connections stay on the main one.
namespace X11KeyboardAccessCheck {

// Why not, in words for the user; absent when it can.
std::optional<QString> problem();

} // namespace X11KeyboardAccessCheck
