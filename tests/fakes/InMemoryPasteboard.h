#pragma once

#include "EventJournal.h"
#include "ports/Pasteboard.h"

// A clipboard in memory, with every format kept, whose changes are journalled; the PRIMARY
// selection is only journalled.
class InMemoryPasteboard final : public Pasteboard {
public:
    explicit InMemoryPasteboard(EventJournal& journal)
        : m_journal(journal) {}

    std::optional<QString> text() const override { return m_content.text(); }
    PasteboardSnapshot snapshot() const override { return m_content; }
    void setText(const QString& text) override {
        userCopiesText(text);
        m_journal.record(QStringLiteral("clipboard \"%1\"").arg(text));
    }
    void restore(const PasteboardSnapshot& snapshot) override {
        m_content = snapshot;
        QStringList types;
        for (const auto& format : snapshot.formats) {
            types << format.first;
        }
        m_journal.record(QStringLiteral("clipboard restored [%1]").arg(types.join(QLatin1Char(','))));
    }
    void clear() override {
        m_content = {};
        m_journal.record(QStringLiteral("clipboard cleared"));
    }
    void setPrimaryText(const QString& text) override {
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
};
