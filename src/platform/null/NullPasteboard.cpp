#include "platform/null/NullPasteboard.h"

QCoro::Task<PasteboardSnapshot> NullPasteboard::snapshot(PasteboardSelection selection) {
    if (selection == PasteboardSelection::primary) {
        co_return PasteboardSnapshot{{{QStringLiteral("text/plain;charset=utf-8"), m_primary.toUtf8()}}};
    }
    co_return m_content;
}

void NullPasteboard::restore(const PasteboardSnapshot& snapshot, PasteboardSelection selection) {
    if (selection == PasteboardSelection::primary) {
        m_primary = snapshot.text().value_or(QString());
    } else {
        m_content = snapshot;
    }
}

void NullPasteboard::setText(const QString& text) {
    m_content.formats = {{QStringLiteral("text/plain;charset=utf-8"), text.toUtf8()}};
}
