#pragma once

#include "ports/Pasteboard.h"

// The clipboard through QClipboard (CLIPBOARD on X11; PRIMARY for the primary selection). Qt keeps
// serving what we wrote for as long as nobody else takes the clipboard, so our text stays
// available to the target until the restore puts the user's content back. Needs a
// QGuiApplication; main thread only.
class QtClipboardPasteboard final : public Pasteboard {
public:
    std::optional<QString> text() const override;
    PasteboardSnapshot snapshot() const override;
    void setText(const QString& text) override;
    void restore(const PasteboardSnapshot& snapshot) override;
    void clear() override;
    void setPrimaryText(const QString& text) override;
};
