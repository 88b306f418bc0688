#pragma once

#include "core/ports/Pasteboard.h"

#include <memory>

class X11ClipboardReader;

// The clipboard through QClipboard (CLIPBOARD on X11; PRIMARY for the primary selection). Qt keeps
// serving what we wrote for as long as nobody else takes the clipboard, so our text stays
// available to the target until the restore puts the user's content back. Another application's
// content is read by the X11 reader, never through QClipboard, whose reads wait on the main
// thread for an owner that may never answer. Needs a QGuiApplication; main thread only.
class QtClipboardPasteboard final : public Pasteboard {
public:
    explicit QtClipboardPasteboard(std::unique_ptr<X11ClipboardReader> reader);
    ~QtClipboardPasteboard() override;

    std::optional<QString> text() const override;
    QCoro::Task<PasteboardSnapshot> snapshot(PasteboardSelection selection) override;
    void setText(const QString& text) override;
    void restore(const PasteboardSnapshot& snapshot, PasteboardSelection selection) override;
    void clear() override;
    void setPrimaryText(const QString& text) override;

private:
    std::unique_ptr<X11ClipboardReader> m_reader;
};
