#include "TerminalEmulators.h"

#include <QString>

#include <array>

namespace TerminalEmulators {

namespace {

// Control+Shift+V there sends a literal ^V; Shift+Insert pastes the primary selection.
constexpr std::array primaryOnly{
    QLatin1String("xterm"), QLatin1String("uxterm"),       QLatin1String("urxvt"),
    QLatin1String("rxvt"),  QLatin1String("rxvt-unicode"), QLatin1String("urxvt-unicode"),
    QLatin1String("aterm"), QLatin1String("eterm"),
};

// Window classes (or instances) of terminal emulators, lower-cased, for systems whose desktop files
// do not say so.
constexpr std::array terminals{
    QLatin1String("gnome-terminal"),
    QLatin1String("gnome-terminal-server"),
    QLatin1String("org.gnome.terminal"),
    QLatin1String("org.gnome.console"),
    QLatin1String("kgx"),
    QLatin1String("ptyxis"),
    QLatin1String("konsole"),
    QLatin1String("yakuake"),
    QLatin1String("xfce4-terminal"),
    QLatin1String("mate-terminal"),
    QLatin1String("lxterminal"),
    QLatin1String("qterminal"),
    QLatin1String("terminator"),
    QLatin1String("tilix"),
    QLatin1String("guake"),
    QLatin1String("tilda"),
    QLatin1String("terminology"),
    QLatin1String("sakura"),
    QLatin1String("alacritty"),
    QLatin1String("kitty"),
    QLatin1String("wezterm"),
    QLatin1String("org.wezfurlong.wezterm"),
    QLatin1String("foot"),
    QLatin1String("footclient"),
    QLatin1String("st"),
    QLatin1String("st-256color"),
    QLatin1String("cool-retro-term"),
    QLatin1String("deepin-terminal"),
    QLatin1String("io.elementary.terminal"),
    QLatin1String("com.raggesilver.blackbox"),
    QLatin1String("contour"),
    QLatin1String("ghostty"),
    QLatin1String("com.mitchellh.ghostty"),
};

template <std::size_t size>
bool listed(const std::array<QLatin1String, size>& names, const QString& windowClass,
            const QString& instanceName) {
    for (const QLatin1String name : names) {
        if (windowClass.compare(name, Qt::CaseInsensitive) == 0 ||
            instanceName.compare(name, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

FrontApplicationInfo::PasteKeys pasteKeys(const QString& windowClass, const QString& instanceName,
                                          bool declaredTerminal) {
    if (listed(primaryOnly, windowClass, instanceName)) {
        return FrontApplicationInfo::PasteKeys::shiftInsertPrimary;
    }
    if (declaredTerminal || listed(terminals, windowClass, instanceName)) {
        return FrontApplicationInfo::PasteKeys::controlShiftV;
    }
    return FrontApplicationInfo::PasteKeys::controlV;
}

} // namespace TerminalEmulators
