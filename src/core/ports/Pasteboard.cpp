#include "core/ports/Pasteboard.h"

std::optional<QString> PasteboardSnapshot::text() const {
    for (const auto& [mimeType, bytes] : formats) {
        if (mimeType == QLatin1String("text/plain;charset=utf-8") ||
            mimeType == QLatin1String("text/plain")) {
            return QString::fromUtf8(bytes);
        }
    }
    return std::nullopt;
}
