#pragma once

#include "core/ports/FrontApplication.h"

#include <QStringList>

#include <memory>
#include <vector>

class DesktopEntryIndex;
class WaylandConnection;
struct wl_array;
struct zwlr_foreign_toplevel_handle_v1;
struct zwlr_foreign_toplevel_manager_v1;

// The application of the activated window as the compositor's task list sees it (the wlroots
// foreign-toplevel protocol): its app id, named by the desktop file that matches it, else the app
// id itself. Kept up to date from the event loop; asking costs no round trip.
class ForeignToplevelFrontApplication final : public FrontApplication {
public:
    // Null where the compositor offers no task list. `applicationDirectories`: where desktop files
    // are looked up (read once, on first use).
    static std::unique_ptr<ForeignToplevelFrontApplication> create(WaylandConnection& connection,
                                                                   QStringList applicationDirectories);
    ~ForeignToplevelFrontApplication() override;
    ForeignToplevelFrontApplication(const ForeignToplevelFrontApplication&) = delete;
    ForeignToplevelFrontApplication& operator=(const ForeignToplevelFrontApplication&) = delete;

    std::optional<FrontApplicationInfo> current() const override;

private:
    struct State {
        QString appId;
        QString title;
        bool activated = false;
    };
    struct Toplevel {
        zwlr_foreign_toplevel_handle_v1* proxy = nullptr;
        State shown;   // as of the last "done"
        State pending; // changes since
    };

    ForeignToplevelFrontApplication(WaylandConnection& connection, zwlr_foreign_toplevel_manager_v1* manager,
                                    QStringList applicationDirectories);
    Toplevel* find(zwlr_foreign_toplevel_handle_v1* proxy);
    const DesktopEntryIndex& index() const;

    static void onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                           zwlr_foreign_toplevel_handle_v1* handle);
    static void onManagerFinished(void* data, zwlr_foreign_toplevel_manager_v1* manager);
    static void onTitle(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* title);
    static void onAppId(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* appId);
    static void onState(void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_array* states);
    static void onDone(void* data, zwlr_foreign_toplevel_handle_v1* handle);
    static void onClosed(void* data, zwlr_foreign_toplevel_handle_v1* handle);

    WaylandConnection& m_connection;
    zwlr_foreign_toplevel_manager_v1* m_manager;
    std::vector<Toplevel> m_toplevels;
    QStringList m_applicationDirectories;
    mutable std::unique_ptr<DesktopEntryIndex> m_index;
};
