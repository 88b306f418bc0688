#pragma once

#include "core/ports/Pasteboard.h"

#include <chrono>
#include <memory>

class WaylandDataControl;

// The clipboard of a Wayland session through the data-control protocol (wlroots compositors):
// read and written whichever window has the focus, every MIME type kept byte for byte. Our content
// is served from memory until another client takes the selection. Main thread only.
class DataControlPasteboard final : public Pasteboard {
public:
    // Long enough for an ordinary owner on a busy machine, short enough that a hung owner only
    // delays the paste.
    static constexpr std::chrono::milliseconds defaultTimeout{1000};
    static constexpr qsizetype maxBytes = qsizetype(64) * 1024 * 1024;

    explicit DataControlPasteboard(std::unique_ptr<WaylandDataControl> dataControl,
                                   std::chrono::milliseconds timeout = defaultTimeout);
    ~DataControlPasteboard() override;
    DataControlPasteboard(const DataControlPasteboard&) = delete;
    DataControlPasteboard& operator=(const DataControlPasteboard&) = delete;

    // The formats plain text is offered in, as other Wayland and X11 clients ask for it.
    static QList<QPair<QString, QByteArray>> textFormats(const QString& text);

    std::optional<QString> text() const override;
    QCoro::Task<PasteboardSnapshot> snapshot(PasteboardSelection selection) override;
    void setText(const QString& text) override;
    void restore(const PasteboardSnapshot& snapshot, PasteboardSelection selection) override;
    void clear() override;
    void setPrimaryText(const QString& text) override;

private:
    std::unique_ptr<WaylandDataControl> m_dataControl;
    std::chrono::milliseconds m_timeout;
};
