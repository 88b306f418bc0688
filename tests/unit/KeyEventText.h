#pragma once

#include "core/ports/KeyEventSource.h"

#include <QString>

#include <optional>

// A key event as one line: "down 0 0x20000", "flags 56 0x0 release", "up 0 0x0 repeat"; "-" for none.
inline QString keyEventText(const std::optional<KeyEvent>& event) {
    if (!event) {
        return QStringLiteral("-");
    }
    const char* type = event->type == KeyEvent::Type::keyDown ? "down"
                       : event->type == KeyEvent::Type::keyUp ? "up"
                                                              : "flags";
    QString text =
        QStringLiteral("%1 %2 0x%3").arg(QLatin1String(type)).arg(event->keyCode).arg(event->flags, 0, 16);
    if (event->isPress) {
        text += *event->isPress ? QStringLiteral(" press") : QStringLiteral(" release");
    }
    return event->isRepeat ? text + QStringLiteral(" repeat") : text;
}
