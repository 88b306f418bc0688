#pragma once

#include "ports/Pasteboard.h"

class EventJournal;

// A clipboard in memory, with every format kept, and a PRIMARY selection beside it.
class InMemoryPasteboard final : public Pasteboard {
public:
    explicit InMemoryPasteboard(EventJournal* journal = nullptr)
        : m_journal(journal) {}

    std::optional<QString> text() const override { return m_content.text(); }
    PasteboardSnapshot snapshot() const override { return m_content; }
    void setText(const QString& text) override;
    void restore(const PasteboardSnapshot& snapshot) override;
    void clear() override;
    void setPrimaryText(const QString& text) override;

    // Another application takes the clipboard (the user copies something); not journalled.
    void userCopies(const PasteboardSnapshot& content) { m_content = content; }
    void userCopiesText(const QString& text);

    const std::optional<QString>& primaryText() const { return m_primary; }

private:
    EventJournal* m_journal;
    PasteboardSnapshot m_content;
    std::optional<QString> m_primary;
};
