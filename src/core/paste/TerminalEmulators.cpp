#include "core/paste/TerminalEmulators.h"

#include "core/ports/FrontApplication.h"

#include <array>

namespace {

// WM_CLASS names (class or instance, compared without case) and Wayland app ids.
constexpr std::array<const char*, 40> controlShiftVTerminals{
    "gnome-terminal",
    "gnome-terminal-server",
    "org.gnome.terminal",
    "kgx",
    "org.gnome.console",
    "ptyxis",
    "org.gnome.ptyxis",
    "konsole",
    "org.kde.konsole",
    "yakuake",
    "xfce4-terminal",
    "terminator",
    "tilix",
    "com.gexperts.tilix",
    "guake",
    "tilda",
    "mate-terminal",
    "lxterminal",
    "qterminal",
    "sakura",
    "terminology",
    "alacritty",
    "kitty",
    "foot",
    "footclient",
    "org.wezfurlong.wezterm",
    "wezterm",
    "st",
    "st-256color",
    "cool-retro-term",
    "deepin-terminal",
    "io.elementary.terminal",
    "pantheon-terminal",
    "termite",
    "hyper",
    "tabby",
    "contour",
    "rio",
    "com.mitchellh.ghostty",
    "ghostty",
};

constexpr std::array<const char*, 7> shiftInsertTerminals{
    "xterm", "uxterm", "urxvt", "rxvt", "rxvt-unicode", "urxvtc", "aterm",
};

// Applications whose paste is the Emacs yank (GUI Emacs and its forks).
constexpr std::array<const char*, 4> controlYApplications{
    "emacs",
    "xemacs",
    "remacs",
    "emacs-gtk",
};

template <std::size_t N>
bool contains(const std::array<const char*, N>& names, const QString& name) {
    if (name.isEmpty()) {
        return false;
    }
    for (const char* candidate : names) {
        if (name.compare(QLatin1String(candidate), Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

template <std::size_t N>
bool matches(const std::array<const char*, N>& names, const FrontApplicationInfo& application) {
    return contains(names, application.windowClass) || contains(names, application.instanceName);
}

} // namespace

namespace TerminalEmulators {

PasteChord pasteChordFor(const FrontApplicationInfo& application) {
    if (matches(controlYApplications, application)) {
        return PasteChord::controlY;
    }
    if (matches(shiftInsertTerminals, application)) {
        return PasteChord::shiftInsert;
    }
    if (application.isTerminalEmulator || matches(controlShiftVTerminals, application)) {
        return PasteChord::controlShiftV;
    }
    return PasteChord::controlV;
}

} // namespace TerminalEmulators
