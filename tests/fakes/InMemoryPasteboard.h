#pragma once

#include "EventJournal.h"
#include "core/ports/Pasteboard.h"

// A clipboard and a PRIMARY selection in memory, with every format kept, whose changes are
// journalled.
class InMemoryPasteboard final : public Pasteboard {
public:
    explicit InMemoryPasteboard(EventJournal& journal)
        : m_journal(journal) {}

    std::optional<QString> text() const override { return m_content.text(); }
    QCoro::Task<PasteboardSnapshot> snapshot(PasteboardSelection selection) override {
        co_return selection == PasteboardSelection::primary ? m_primary : m_content;
    }
    void setText(const QString& text) override {
        userCopiesText(text);
        m_journal.record(QStringLiteral("clipboard \"%1\"").arg(text));
    }
    void restore(const PasteboardSnapshot& snapshot, PasteboardSelection selection) override {
        const bool primary = selection == PasteboardSelection::primary;
        (primary ? m_primary : m_content) = snapshot;
        QStringList types;
        for (const auto& format : snapshot.formats) {
            types << format.first;
        }
        m_journal.record(QStringLiteral("%1 restored [%2]")
                             .arg(primary ? QStringLiteral("primary") : QStringLiteral("clipboard"),
                                  types.join(QLatin1Char(','))));
    }
    void clear() override {
        m_content = {};
        m_journal.record(QStringLiteral("clipboard cleared"));
    }
    void setPrimaryText(const QString& text) override {
        m_primary.formats = {{QStringLiteral("text/plain;charset=utf-8"), text.toUtf8()}};
        m_journal.record(QStringLiteral("primary \"%1\"").arg(text));
    }

    // Another application takes the clipboard (the user copies something); not journalled.
    void userCopies(const PasteboardSnapshot& content) { m_content = content; }
    void userCopiesText(const QString& text) {
        m_content.formats = {{QStringLiteral("text/plain;charset=utf-8"), text.toUtf8()}};
    }

private:
    EventJournal& m_journal;
    PasteboardSnapshot m_content;
    PasteboardSnapshot m_primary;
};
