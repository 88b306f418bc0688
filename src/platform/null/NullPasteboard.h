#pragma once

#include "core/ports/Pasteboard.h"

// A clipboard of this process only: what is written can be read back, nobody else sees it.
class NullPasteboard final : public Pasteboard {
public:
    std::optional<QString> text() const override { return m_content.text(); }
    QCoro::Task<PasteboardSnapshot> snapshot(PasteboardSelection selection) override;
    void setText(const QString& text) override;
    void restore(const PasteboardSnapshot& snapshot, PasteboardSelection selection) override;
    void clear() override { m_content = {}; }
    void setPrimaryText(const QString& text) override { m_primary = text; }

    QString primaryText() const { return m_primary; }

private:
    PasteboardSnapshot m_content;
    QString m_primary;
};
