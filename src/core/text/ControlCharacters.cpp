#include "core/text/ControlCharacters.h"

namespace ControlCharacters {

QString strip(const QString& text) {
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        const bool control = unit < 0x20 || (unit >= 0x7F && unit <= 0x9F);
        if (!control || unit == u'\t' || unit == u'\n') {
            kept.append(c);
        }
    }
    return kept;
}

} // namespace ControlCharacters
