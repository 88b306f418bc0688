#include "NullPasteboard.h"

void NullPasteboard::setText(const QString& text) {
    m_content.formats = {{QStringLiteral("text/plain;charset=utf-8"), text.toUtf8()}};
}
