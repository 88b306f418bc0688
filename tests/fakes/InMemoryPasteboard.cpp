#include "InMemoryPasteboard.h"

#include "EventJournal.h"

namespace {

const QString plainText = QStringLiteral("text/plain;charset=utf-8");

} // namespace

void InMemoryPasteboard::setText(const QString& text) {
    m_content.formats = {{plainText, text.toUtf8()}};
    if (m_journal) {
        m_journal->record(QStringLiteral("clipboard \"") + text + QLatin1Char('"'));
    }
}

void InMemoryPasteboard::restore(const PasteboardSnapshot& snapshot) {
    m_content = snapshot;
    if (m_journal) {
        QStringList types;
        for (const auto& format : snapshot.formats) {
            types << format.first;
        }
        m_journal->record(QStringLiteral("clipboard restored [") + types.join(QLatin1Char(',')) +
                          QLatin1Char(']'));
    }
}

void InMemoryPasteboard::clear() {
    m_content = {};
    if (m_journal) {
        m_journal->record(QStringLiteral("clipboard cleared"));
    }
}

void InMemoryPasteboard::setPrimaryText(const QString& text) {
    m_primary = text;
    if (m_journal) {
        m_journal->record(QStringLiteral("primary \"") + text + QLatin1Char('"'));
    }
}

void InMemoryPasteboard::userCopiesText(const QString& text) {
    m_content.formats = {{plainText, text.toUtf8()}};
}
