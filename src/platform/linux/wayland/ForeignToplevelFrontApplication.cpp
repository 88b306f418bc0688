#include "platform/linux/wayland/ForeignToplevelFrontApplication.h"

#include "platform/linux/desktop/DesktopEntryIndex.h"
#include "platform/linux/wayland/WaylandConnection.h"
#include "platform/linux/wayland/protocols/wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <algorithm>
#include <wayland-client.h>

namespace {

// Version 3 adds the parent event, which we ignore; asking for it keeps the listener complete.
constexpr quint32 managerVersion = 3;

} // namespace

std::unique_ptr<ForeignToplevelFrontApplication>
ForeignToplevelFrontApplication::create(WaylandConnection& connection, QStringList applicationDirectories) {
    auto* manager = connection.bind<zwlr_foreign_toplevel_manager_v1>(
        zwlr_foreign_toplevel_manager_v1_interface, managerVersion);
    if (!manager) {
        return nullptr;
    }
    return std::unique_ptr<ForeignToplevelFrontApplication>(
        new ForeignToplevelFrontApplication(connection, manager, std::move(applicationDirectories)));
}

ForeignToplevelFrontApplication::ForeignToplevelFrontApplication(WaylandConnection& connection,
                                                                 zwlr_foreign_toplevel_manager_v1* manager,
                                                                 QStringList applicationDirectories)
    : m_connection(connection)
    , m_manager(manager)
    , m_applicationDirectories(std::move(applicationDirectories)) {
    static const zwlr_foreign_toplevel_manager_v1_listener listener = {
        &ForeignToplevelFrontApplication::onToplevel, &ForeignToplevelFrontApplication::onManagerFinished};
    zwlr_foreign_toplevel_manager_v1_add_listener(m_manager, &listener, this);
    m_connection.flush();
}

ForeignToplevelFrontApplication::~ForeignToplevelFrontApplication() {
    for (const Toplevel& toplevel : m_toplevels) {
        zwlr_foreign_toplevel_handle_v1_destroy(toplevel.proxy);
    }
    if (m_manager) {
        zwlr_foreign_toplevel_manager_v1_stop(m_manager);
        // The compositor answers stop with finished; nobody listens for it any more.
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(m_manager));
    }
    m_connection.flush();
}

std::optional<FrontApplicationInfo> ForeignToplevelFrontApplication::current() const {
    const auto active = std::find_if(m_toplevels.begin(), m_toplevels.end(),
                                     [](const Toplevel& toplevel) { return toplevel.shown.activated; });
    if (active == m_toplevels.end()) {
        return std::nullopt;
    }
    FrontApplicationInfo info;
    info.windowClass = active->shown.appId;
    const DesktopEntry* entry =
        info.windowClass.isEmpty() ? nullptr : index().find(info.windowClass, QString());
    if (entry) {
        info.displayName = entry->name;
    } else if (!info.windowClass.isEmpty()) {
        info.displayName = info.windowClass;
    } else {
        info.displayName = active->shown.title;
    }
    info.isTerminalEmulator = entry && entry->isTerminalEmulator();
    return info;
}

ForeignToplevelFrontApplication::Toplevel*
ForeignToplevelFrontApplication::find(zwlr_foreign_toplevel_handle_v1* proxy) {
    const auto found = std::find_if(m_toplevels.begin(), m_toplevels.end(),
                                    [proxy](const Toplevel& toplevel) { return toplevel.proxy == proxy; });
    return found == m_toplevels.end() ? nullptr : &*found;
}

const DesktopEntryIndex& ForeignToplevelFrontApplication::index() const {
    if (!m_index) {
        m_index = std::make_unique<DesktopEntryIndex>(m_applicationDirectories);
    }
    return *m_index;
}

void ForeignToplevelFrontApplication::onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                                                 zwlr_foreign_toplevel_handle_v1* handle) {
    static const zwlr_foreign_toplevel_handle_v1_listener listener = {
        .title = &ForeignToplevelFrontApplication::onTitle,
        .app_id = &ForeignToplevelFrontApplication::onAppId,
        .output_enter = [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
        .output_leave = [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
        .state = &ForeignToplevelFrontApplication::onState,
        .done = &ForeignToplevelFrontApplication::onDone,
        .closed = &ForeignToplevelFrontApplication::onClosed,
        .parent = [](void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {},
    };
    auto* self = static_cast<ForeignToplevelFrontApplication*>(data);
    self->m_toplevels.push_back(Toplevel{handle, {}, {}});
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &listener, self);
}

void ForeignToplevelFrontApplication::onManagerFinished(void* data,
                                                        zwlr_foreign_toplevel_manager_v1* manager) {
    auto* self = static_cast<ForeignToplevelFrontApplication*>(data);
    wl_proxy_destroy(reinterpret_cast<wl_proxy*>(manager));
    self->m_manager = nullptr;
}

void ForeignToplevelFrontApplication::onTitle(void* data, zwlr_foreign_toplevel_handle_v1* handle,
                                              const char* title) {
    if (Toplevel* toplevel = static_cast<ForeignToplevelFrontApplication*>(data)->find(handle)) {
        toplevel->pending.title = QString::fromUtf8(title);
    }
}

void ForeignToplevelFrontApplication::onAppId(void* data, zwlr_foreign_toplevel_handle_v1* handle,
                                              const char* appId) {
    if (Toplevel* toplevel = static_cast<ForeignToplevelFrontApplication*>(data)->find(handle)) {
        toplevel->pending.appId = QString::fromUtf8(appId);
    }
}

void ForeignToplevelFrontApplication::onState(void* data, zwlr_foreign_toplevel_handle_v1* handle,
                                              wl_array* states) {
    Toplevel* toplevel = static_cast<ForeignToplevelFrontApplication*>(data)->find(handle);
    if (!toplevel) {
        return;
    }
    const auto* first = static_cast<const quint32*>(states->data);
    const auto* last = first + states->size / sizeof(quint32);
    toplevel->pending.activated =
        std::find(first, last, quint32(ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED)) != last;
}

void ForeignToplevelFrontApplication::onDone(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
    if (Toplevel* toplevel = static_cast<ForeignToplevelFrontApplication*>(data)->find(handle)) {
        toplevel->shown = toplevel->pending;
    }
}

void ForeignToplevelFrontApplication::onClosed(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
    auto* self = static_cast<ForeignToplevelFrontApplication*>(data);
    std::erase_if(self->m_toplevels, [handle](const Toplevel& toplevel) { return toplevel.proxy == handle; });
    zwlr_foreign_toplevel_handle_v1_destroy(handle);
}
