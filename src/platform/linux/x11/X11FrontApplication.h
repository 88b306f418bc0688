#pragma once

#include "core/ports/FrontApplication.h"

#include <QStringList>

#include <memory>

class DesktopEntryIndex;
class X11ConnectionProvider;

// The application of the window the window manager calls active (EWMH _NET_ACTIVE_WINDOW), named
// by its desktop file where one matches its WM_CLASS, else by the WM_CLASS class.
class X11FrontApplication final : public FrontApplication {
public:
    // `applicationDirectories`: where desktop files are looked up (read once, on first use).
    X11FrontApplication(std::shared_ptr<X11ConnectionProvider> connections,
                        QStringList applicationDirectories);
    ~X11FrontApplication() override;
    X11FrontApplication(const X11FrontApplication&) = delete;
    X11FrontApplication& operator=(const X11FrontApplication&) = delete;

    std::optional<FrontApplicationInfo> current() const override;

private:
    const DesktopEntryIndex& index() const;

    std::shared_ptr<X11ConnectionProvider> m_connections;
    QStringList m_applicationDirectories;
    mutable std::unique_ptr<DesktopEntryIndex> m_index;
};
