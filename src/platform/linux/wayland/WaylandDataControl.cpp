#include "platform/linux/wayland/WaylandDataControl.h"

#include "platform/linux/async/PipeWriter.h"
#include "platform/linux/wayland/WaylandConnection.h"
#include "platform/linux/wayland/protocols/wlr-data-control-unstable-v1-client-protocol.h"

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Version 2 adds the primary selection.
constexpr quint32 managerVersion = 2;
// A reader that takes longer than this for one transfer gets what was written by then.
constexpr std::chrono::seconds sendTimeout{5};

} // namespace

std::unique_ptr<WaylandDataControl> WaylandDataControl::create(WaylandConnection& connection) {
    if (!connection.seat()) {
        return nullptr;
    }
    auto* manager =
        connection.bind<zwlr_data_control_manager_v1>(zwlr_data_control_manager_v1_interface, managerVersion);
    if (!manager) {
        return nullptr;
    }
    return std::unique_ptr<WaylandDataControl>(new WaylandDataControl(connection, manager));
}

WaylandDataControl::WaylandDataControl(WaylandConnection& connection, zwlr_data_control_manager_v1* manager)
    : m_connection(connection)
    , m_manager(manager) {
    static const zwlr_data_control_device_v1_listener deviceListener = {
        &WaylandDataControl::onDataOffer, &WaylandDataControl::onSelection, &WaylandDataControl::onFinished,
        &WaylandDataControl::onPrimarySelection};
    m_device = zwlr_data_control_manager_v1_get_data_device(m_manager, connection.seat());
    zwlr_data_control_device_v1_add_listener(m_device, &deviceListener, this);
    m_connection.flush();
}

WaylandDataControl::~WaylandDataControl() {
    for (Offer& offer : m_newOffers) {
        zwlr_data_control_offer_v1_destroy(offer.proxy);
    }
    for (Offer& offer : m_offers) {
        if (offer.proxy) {
            zwlr_data_control_offer_v1_destroy(offer.proxy);
        }
    }
    for (Source& source : m_sources) {
        if (source.proxy) {
            zwlr_data_control_source_v1_destroy(source.proxy);
        }
    }
    if (m_device) {
        zwlr_data_control_device_v1_destroy(m_device);
    }
    zwlr_data_control_manager_v1_destroy(m_manager);
    m_connection.flush();
}

std::size_t WaylandDataControl::slot(PasteboardSelection selection) {
    return selection == PasteboardSelection::primary ? 1 : 0;
}

bool WaylandDataControl::supportsPrimary() const {
    return zwlr_data_control_manager_v1_get_version(m_manager) >= 2;
}

QStringList WaylandDataControl::offeredTypes(PasteboardSelection selection) const {
    return m_offers[slot(selection)].types;
}

UniqueFd WaylandDataControl::receive(PasteboardSelection selection, const QString& mimeType) {
    const Offer& offer = m_offers[slot(selection)];
    int ends[2];
    if (!offer.proxy || ::pipe2(ends, O_CLOEXEC) != 0) {
        return UniqueFd();
    }
    UniqueFd readEnd(ends[0]);
    const UniqueFd writeEnd(ends[1]);
    // The request carries a duplicate of the write end, so ours closes at the end of this scope and
    // the read sees its end when the owner closes theirs.
    zwlr_data_control_offer_v1_receive(offer.proxy, mimeType.toUtf8().constData(), writeEnd.get());
    m_connection.flush();
    return readEnd;
}

void WaylandDataControl::setSelection(PasteboardSelection selection, const Formats& formats) {
    if (selection == PasteboardSelection::primary && !supportsPrimary()) {
        return;
    }
    static const zwlr_data_control_source_v1_listener sourceListener = {&WaylandDataControl::onSend,
                                                                        &WaylandDataControl::onCancelled};
    Source& current = m_sources[slot(selection)];
    if (current.proxy) {
        zwlr_data_control_source_v1_destroy(current.proxy);
        current = Source{};
    }
    zwlr_data_control_source_v1* source = nullptr;
    if (!formats.isEmpty()) {
        source = zwlr_data_control_manager_v1_create_data_source(m_manager);
        zwlr_data_control_source_v1_add_listener(source, &sourceListener, this);
        for (const auto& [mimeType, bytes] : formats) {
            zwlr_data_control_source_v1_offer(source, mimeType.toUtf8().constData());
        }
        current = Source{source, formats};
    }
    if (m_device) {
        if (selection == PasteboardSelection::primary) {
            zwlr_data_control_device_v1_set_primary_selection(m_device, source);
        } else {
            zwlr_data_control_device_v1_set_selection(m_device, source);
        }
    }
    m_connection.flush();
}

const WaylandDataControl::Formats* WaylandDataControl::ownContent(PasteboardSelection selection) const {
    const Source& source = m_sources[slot(selection)];
    return source.proxy ? &source.formats : nullptr;
}

void WaylandDataControl::replaceOffer(PasteboardSelection selection, zwlr_data_control_offer_v1* proxy) {
    Offer& current = m_offers[slot(selection)];
    if (current.proxy && current.proxy != proxy) {
        zwlr_data_control_offer_v1_destroy(current.proxy);
    }
    current = Offer{};
    const auto introduced = std::find_if(m_newOffers.begin(), m_newOffers.end(),
                                         [proxy](const Offer& offer) { return offer.proxy == proxy; });
    if (proxy && introduced != m_newOffers.end()) {
        current = *introduced;
        m_newOffers.erase(introduced);
    }
}

void WaylandDataControl::send(zwlr_data_control_source_v1* source, const QString& mimeType, UniqueFd fd) {
    const auto owner = std::find_if(m_sources.begin(), m_sources.end(),
                                    [source](const Source& candidate) { return candidate.proxy == source; });
    if (owner == m_sources.end()) {
        return; // closing the pipe tells the reader there is nothing
    }
    QByteArray bytes;
    for (const auto& [type, content] : owner->formats) {
        if (type == mimeType) {
            bytes = content;
            break;
        }
    }
    auto writer = std::make_unique<PipeWriter>(std::move(fd), bytes, sendTimeout);
    PipeWriter* raw = writer.get();
    connect(raw, &PipeWriter::finished, this, [this, raw] {
        // Deleted from the event loop: this runs inside the writer's own call.
        const auto found =
            std::find_if(m_writers.begin(), m_writers.end(),
                         [raw](const std::unique_ptr<PipeWriter>& w) { return w.get() == raw; });
        if (found != m_writers.end()) {
            found->release()->deleteLater();
            m_writers.erase(found);
        }
    });
    m_writers.push_back(std::move(writer));
}

void WaylandDataControl::cancel(zwlr_data_control_source_v1* source) {
    for (Source& candidate : m_sources) {
        if (candidate.proxy == source) {
            candidate = Source{};
        }
    }
    zwlr_data_control_source_v1_destroy(source);
}

void WaylandDataControl::onDataOffer(void* data, zwlr_data_control_device_v1*,
                                     zwlr_data_control_offer_v1* offer) {
    static const zwlr_data_control_offer_v1_listener offerListener = {&WaylandDataControl::onOfferType};
    auto* self = static_cast<WaylandDataControl*>(data);
    self->m_newOffers.push_back(Offer{offer, {}});
    zwlr_data_control_offer_v1_add_listener(offer, &offerListener, self);
}

void WaylandDataControl::onSelection(void* data, zwlr_data_control_device_v1*,
                                     zwlr_data_control_offer_v1* offer) {
    static_cast<WaylandDataControl*>(data)->replaceOffer(PasteboardSelection::clipboard, offer);
}

void WaylandDataControl::onPrimarySelection(void* data, zwlr_data_control_device_v1*,
                                            zwlr_data_control_offer_v1* offer) {
    static_cast<WaylandDataControl*>(data)->replaceOffer(PasteboardSelection::primary, offer);
}

void WaylandDataControl::onFinished(void* data, zwlr_data_control_device_v1* device) {
    auto* self = static_cast<WaylandDataControl*>(data);
    zwlr_data_control_device_v1_destroy(device);
    self->m_device = nullptr;
}

void WaylandDataControl::onOfferType(void* data, zwlr_data_control_offer_v1* offer, const char* mimeType) {
    auto* self = static_cast<WaylandDataControl*>(data);
    for (Offer& candidate : self->m_newOffers) {
        if (candidate.proxy == offer) {
            candidate.types.append(QString::fromUtf8(mimeType));
        }
    }
}

void WaylandDataControl::onSend(void* data, zwlr_data_control_source_v1* source, const char* mimeType,
                                int fd) {
    static_cast<WaylandDataControl*>(data)->send(source, QString::fromUtf8(mimeType), UniqueFd(fd));
}

void WaylandDataControl::onCancelled(void* data, zwlr_data_control_source_v1* source) {
    static_cast<WaylandDataControl*>(data)->cancel(source);
}
