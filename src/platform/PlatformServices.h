#pragma once

#include "core/ports/AudioInput.h"
#include "core/ports/FrontApplication.h"
#include "core/ports/KeyEventSource.h"
#include "core/ports/KeySynthesizer.h"
#include "core/ports/Pasteboard.h"
#include "core/ports/PermissionProbe.h"
#include "core/ports/ProcessLauncher.h"
#include "core/ports/Screens.h"
#include "core/ports/SelectedTextReader.h"
#include "core/ports/SoundPlayer.h"
#include "core/ports/WindowKeyTranslator.h"
#include "platform/OverlaySurface.h"
#include "platform/PortPath.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class WaylandConnection;

// One implementation of every desktop port, all from the same platform. Members are destroyed in
// reverse order, so later ones may refer to earlier ones (the permission probe asks the audio input).
struct PlatformServices {
    // The compositor connection the Wayland ports share; declared first so it outlives them. Null
    // on other platforms, or where no compositor answered.
    std::shared_ptr<WaylandConnection> waylandConnection;
    // "x11", "wayland" or "null".
    QString name;
    // Why the null platform stands in; empty when a real one was found.
    QString reason;
    // The key that stands in for fn, named in texts that tell the user what to press; empty
    // where fn is a key of its own.
    QString functionKeyName;
    // Whether translucent windows are drawn as such (a compositor runs); asked as the overlay
    // shows, since one may start or stop at any time.
    std::function<bool()> isCompositing = [] { return false; };
    // Whether the recording overlay may be shown. Where a window of ours could take the focus
    // from the application being dictated into, there is none and the tray shows the state.
    bool showsOverlay = true;
    // Which path serves each port, and why, first the family itself.
    std::vector<PortPath> paths;
    // The setup wizard's checks, which may block for seconds and so run off the main thread: each
    // uses connections of its own. Why global keys cannot be heard and typed, and why no
    // microphone opens; absent when they can.
    std::function<std::optional<QString>()> keyboardAccessProblem;
    std::function<std::optional<QString>()> microphoneProblem;
    // Why the hotkey cannot be heard, with what to do about it, in one line; absent when it can.
    // Main thread, cheap: the pop-over asks whenever it opens.
    std::function<std::optional<QString>()> hotkeyProblem = [] { return std::optional<QString>(); };
    // Insert text by typing it rather than pasting it: the clipboard cannot reach the focused
    // window, but the key output can type any character.
    bool typesText = false;
    // The overlay as a surface of the desktop's own kind (the layer shell), drawn by the user
    // interface; empty where there is none. Made on demand by the one overlay that uses it.
    std::function<std::unique_ptr<OverlaySurface>()> overlaySurface;
    // Reads key presses in our own windows (the shortcut recorder); empty where none can.
    std::function<std::unique_ptr<WindowKeyTranslator>()> windowKeyTranslator;

    std::unique_ptr<KeyEventSource> keyEventSource;
    std::unique_ptr<KeySynthesizer> keySynthesizer;
    std::unique_ptr<Pasteboard> pasteboard;
    std::unique_ptr<SelectedTextReader> selectedTextReader;
    std::unique_ptr<FrontApplication> frontApplication;
    std::unique_ptr<AudioInput> audioInput;
    std::unique_ptr<SoundPlayer> soundPlayer;
    std::unique_ptr<Screens> screens;
    std::unique_ptr<ProcessLauncher> processLauncher;
    std::unique_ptr<PermissionProbe> permissionProbe;
};
