#pragma once

#include "core/ports/Pasteboard.h"
#include "platform/linux/input/UniqueFd.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QStringList>

#include <array>
#include <memory>
#include <vector>

class PipeWriter;
class WaylandConnection;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_manager_v1;
struct zwlr_data_control_offer_v1;
struct zwlr_data_control_source_v1;

// The seat's clipboard and primary selection through the wlroots data-control protocol: what they
// hold now (whoever has the focus), and content of our own served from memory. Main thread only.
class WaylandDataControl final : public QObject {
    Q_OBJECT

public:
    using Formats = QList<QPair<QString, QByteArray>>;

    // Null where the compositor offers no data control or no seat.
    static std::unique_ptr<WaylandDataControl> create(WaylandConnection& connection);
    ~WaylandDataControl() override;
    WaylandDataControl(const WaylandDataControl&) = delete;
    WaylandDataControl& operator=(const WaylandDataControl&) = delete;

    bool supportsPrimary() const;
    // The MIME types the selection offers, in the owner's order; empty when it holds nothing.
    QStringList offeredTypes(PasteboardSelection selection) const;
    // Asks the owner to write one type into a new pipe; the read end, invalid when none could be made.
    UniqueFd receive(PasteboardSelection selection, const QString& mimeType);

    // Makes `formats` the content, served from memory until another client takes the selection;
    // no formats empties it.
    void setSelection(PasteboardSelection selection, const Formats& formats);
    // Our content, while the selection is still ours.
    const Formats* ownContent(PasteboardSelection selection) const;

private:
    struct Offer {
        zwlr_data_control_offer_v1* proxy = nullptr;
        QStringList types;
    };
    struct Source {
        zwlr_data_control_source_v1* proxy = nullptr;
        Formats formats;
    };

    WaylandDataControl(WaylandConnection& connection, zwlr_data_control_manager_v1* manager);
    static std::size_t slot(PasteboardSelection selection);
    void replaceOffer(PasteboardSelection selection, zwlr_data_control_offer_v1* offer);
    void send(zwlr_data_control_source_v1* source, const QString& mimeType, UniqueFd fd);
    void cancel(zwlr_data_control_source_v1* source);

    static void onDataOffer(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer);
    static void onSelection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer);
    static void onPrimarySelection(void* data, zwlr_data_control_device_v1*,
                                   zwlr_data_control_offer_v1* offer);
    static void onFinished(void* data, zwlr_data_control_device_v1*);
    static void onOfferType(void* data, zwlr_data_control_offer_v1* offer, const char* mimeType);
    static void onSend(void* data, zwlr_data_control_source_v1* source, const char* mimeType, int fd);
    static void onCancelled(void* data, zwlr_data_control_source_v1* source);

    WaylandConnection& m_connection;
    zwlr_data_control_manager_v1* m_manager = nullptr;
    zwlr_data_control_device_v1* m_device = nullptr;
    // Introduced but not yet announced as a selection.
    std::vector<Offer> m_newOffers;
    std::array<Offer, 2> m_offers;
    std::array<Source, 2> m_sources;
    // Transfers to readers still running; each removes itself when done.
    std::vector<std::unique_ptr<PipeWriter>> m_writers;
};
